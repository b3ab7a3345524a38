// Pictures, timers and panels.
#pragma once

#include <memory>

#include "framework/Controls.h"
#include "framework/HiddenWindow.h"

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    TPicture& Picture() { return FPicture; }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool AutoSize() const { return FAutoSize; }
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    void Paint() override;

private:
    TPicture FPicture;
    bool FStretch = false;
    bool FCenter = false;
    bool FAutoSize = false;
};

// Fires OnTimer every Interval milliseconds while enabled; an interval of 0 never fires.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned value);
    TNotifyEvent OnTimer;
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    // Runs the tick as the platform's timer would (tests drive timers this way).
    void Tick();

protected:
    void Loaded() override;

private:
    void UpdateTimer();
    bool FEnabled = true;
    unsigned FInterval = 1000;
    std::unique_ptr<THiddenWindow> FWindow;
    bool FRunning = false;
};

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* AOwner);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

protected:
    void Paint() override;

private:
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
};
