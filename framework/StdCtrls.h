// Standard controls: the windowless label and the platform's edit field and push button.
#pragma once

#include "framework/Controls.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A caption drawn by its parent with DrawTextA.
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    void SetCaption(const std::string& value) override;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    void Paint() override;
    void FontChanged() override;
    void Loaded() override;
    // Draws the caption into rect with the given DrawTextA flags on the current canvas.
    virtual void DoDrawText(RECT& rect, UINT flags);
    void AdjustBounds();

    bool FAutoSize = true;
    bool FTransparent = false;
    bool FShowAccelChar = true;
    bool FWordWrap = false;
    TAlignment FAlignment = taLeftJustify;
};

class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* AOwner);
    std::string Text() const { return Caption(); }
    void SetText(const std::string& value) { SetCaption(value); }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    TNotifyEvent OnChange;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateHandleDone() override;
    bool IsCustomPainted() const override { return false; }

private:
    bool FReadOnly = false;
    int FMaxLength = 0;
    bool FAutoSize = true;
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    bool IsPushButton() const override { return true; }
    bool IsDefaultButton() const override { return FDefault; }
    bool IsCancelButton() const override { return FCancel; }
    int ModalResult = 0;  // given to the form when clicked
    void Click() override;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    bool IsCustomPainted() const override { return false; }

private:
    bool FDefault = false;
    bool FCancel = false;
};
