// Popup menus over TrackPopupMenu.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Classes.h"

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { FCaption = value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool value) { FDefault = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value) { FVisible = value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool value) { FChecked = value; }
    bool IsLine() const { return FCaption == "-"; }
    TNotifyEvent OnClick;
    virtual void Click();
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

private:
    std::string FCaption;
    bool FDefault = false;
    bool FEnabled = true;
    bool FVisible = true;
    bool FChecked = false;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;
    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(index); }
    void Add(TMenuItem* item);
    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool value) { FAutoPopup = value; }
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* value) { FPopupComponent = value; }
    // Shows the menu at a screen point and returns when it is dismissed; the chosen item is clicked.
    virtual void Popup(int X, int Y);
    TNotifyEvent OnPopup;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::vector<TMenuItem*> FItems;
    bool FAutoPopup = true;
    TComponent* FPopupComponent = nullptr;
};
