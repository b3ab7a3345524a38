#include "framework/ImgList.h"

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

TImageList::~TImageList()
{
    if (FHandle && !FShared) ImageList_Destroy(FHandle);
}

void TImageList::Recreate()
{
    if (FHandle && !FShared) ImageList_Destroy(FHandle);
    FHandle = nullptr;
    FShared = false;
}

void TImageList::SetWidth(int value)
{
    if (value == FWidth) return;
    FWidth = value;
    Recreate();
}

void TImageList::SetHeight(int value)
{
    if (value == FHeight) return;
    FHeight = value;
    Recreate();
}

void TImageList::SetMasked(bool value)
{
    if (value == FMasked) return;
    FMasked = value;
    Recreate();
}

HIMAGELIST TImageList::Handle()
{
    if (!FHandle) {
        FHandle = ImageList_Create(FWidth, FHeight, ILC_COLOR24 | (FMasked ? ILC_MASK : 0), 4, 4);
        if (!FHandle) throw EOutOfResources("Out of system resources");
    }
    return FHandle;
}

void TImageList::SetHandle(HIMAGELIST list, bool shared)
{
    Recreate();
    FHandle = list;
    FShared = shared;
    if (list) ImageList_GetIconSize(list, &FWidth, &FHeight);
}

int TImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

int TImageList::Add(TBitmap& image, TBitmap* mask)
{
    // The list copies the pictures, so the caller may reuse its bitmaps.
    TBitmap copy;
    copy.Assign(image);
    copy.SetPixelFormat(pf24bit);
    TBitmap maskCopy;
    HBITMAP maskHandle = nullptr;
    if (FMasked && mask) {
        maskCopy.Assign(*mask);
        maskHandle = maskCopy.Handle();
    }
    HBITMAP colour = copy.Handle();
    // The bitmaps must not be selected into a DC while the list reads them.
    copy.Dormant();
    int index = ImageList_Add(Handle(), colour, maskHandle);
    if (index < 0) throw EInvalidOperation("Failed to add the image to the list");
    return index;
}

int TImageList::AddIcon(TIcon& icon) { return ImageList_AddIcon(Handle(), icon.Handle()); }

void TImageList::Clear()
{
    if (FHandle) ImageList_RemoveAll(FHandle);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index)
{
    if (!FHandle || index < 0 || index >= Count()) return;
    ImageList_Draw(FHandle, index, canvas.Handle(), x, y, ILD_NORMAL);
}

void TImageList::GetBitmap(int index, TBitmap& image)
{
    image.SetPixelFormat(pf24bit);
    image.SetSize(FWidth, FHeight);
    if (FHandle && index >= 0 && index < Count())
        ImageList_Draw(FHandle, index, image.Canvas().Handle(), 0, 0, ILD_NORMAL);
}

void TImageList::GetIcon(int index, TIcon& icon)
{
    if (!FHandle || index < 0 || index >= Count()) return;
    icon.SetHandle(ImageList_GetIcon(FHandle, index, ILD_NORMAL));
}

bool TImageList::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Width") SetWidth(value.AsInt());
    else if (name == "Height") SetHeight(value.AsInt());
    else if (name == "Masked") SetMasked(value.AsBool());
    else return TComponent::SetProperty(name, value);
    return true;
}
