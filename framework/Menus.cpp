#include "framework/Menus.h"

#include <algorithm>

#include "framework/Forms.h"

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

void TMenuItem::Click()
{
    if (FEnabled && OnClick) OnClick(this);
}

bool TMenuItem::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Caption") SetCaption(value.AsString());
    else if (name == "Default") SetDefault(value.AsBool());
    else if (name == "Enabled") SetEnabled(value.AsBool());
    else if (name == "Visible") SetVisible(value.AsBool());
    else if (name == "Checked") SetChecked(value.AsBool());
    else if (name == "OnClick") OnClick = value.AsEvent<TNotifyEvent>();
    else return TComponent::SetProperty(name, value);
    return true;
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Add(TMenuItem* item)
{
    FItems.push_back(item);
    FreeNotification(item);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) {
        std::erase(FItems, static_cast<TMenuItem*>(static_cast<void*>(AComponent)));
        std::erase_if(FItems, [&](TMenuItem* item) { return static_cast<TComponent*>(item) == AComponent; });
        if (FPopupComponent == AComponent) FPopupComponent = nullptr;
    }
}

void TPopupMenu::Popup(int X, int Y)
{
    if (OnPopup) OnPopup(this);
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    struct MenuGuard {
        HMENU m;
        ~MenuGuard() { DestroyMenu(m); }
    } guard{menu};
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        TMenuItem* item = FItems[i];
        if (!item->Visible()) continue;
        UINT id = static_cast<UINT>(i + 1);
        if (item->IsLine()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (item->Enabled() ? 0 : MF_GRAYED) | (item->Checked() ? MF_CHECKED : 0);
        AppendMenuA(menu, flags, id, item->Caption().c_str());
        if (item->Default()) SetMenuDefaultItem(menu, id, FALSE);
    }
    HWND owner = Application ? Application->Handle() : nullptr;
    // The menu closes on a click elsewhere only while its owner is in the foreground.
    if (owner) SetForegroundWindow(owner);
    UINT chosen = TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, X, Y, 0,
                                 owner, nullptr);
    if (owner) PostMessageA(owner, WM_NULL, 0, 0);
    if (chosen >= 1 && chosen <= FItems.size()) FItems[chosen - 1]->Click();
}

bool TPopupMenu::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "AutoPopup") SetAutoPopup(value.AsBool());
    else if (name == "OnPopup") OnPopup = value.AsEvent<TNotifyEvent>();
    else return TComponent::SetProperty(name, value);
    return true;
}
