// A list of same-sized images over the common controls' image list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/Classes.h"
#include "framework/Graphics.h"

class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* AOwner);
    ~TImageList() override;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetWidth(int value);
    void SetHeight(int value);
    bool Masked() const { return FMasked; }
    void SetMasked(bool value);
    int Count() const;
    // Appends a copy of image (and mask, ignored when the list is not masked); returns its index.
    int Add(TBitmap& image, TBitmap* mask);
    int AddIcon(TIcon& icon);
    void Clear();
    // Draws image index at x, y on canvas; indexes outside the list draw nothing.
    void Draw(TCanvas& canvas, int x, int y, int index);
    void GetBitmap(int index, TBitmap& image);
    void GetIcon(int index, TIcon& icon);
    HIMAGELIST Handle();
    // Takes an image list made elsewhere (the shell's system list); shared lists are not destroyed.
    void SetHandle(HIMAGELIST list, bool shared);
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

private:
    void Recreate();
    HIMAGELIST FHandle = nullptr;
    bool FShared = false;
    int FWidth = 16, FHeight = 16;
    bool FMasked = true;
};
