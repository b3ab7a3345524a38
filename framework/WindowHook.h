#pragma once
// Replaces a window's procedure on behalf of one object: each message goes to the object's handler, then on
// down the chain to the procedure that was there before.
//
// The platform tells a window procedure only which window a message is for, so two objects hooking the same
// window (two tray icons on one form) cannot share one procedure: each hook gets a procedure of its own from
// a fixed set. A hook removed while another procedure sits above it in the chain cannot take itself out;
// it stays as a plain pass-through and leaves as soon as everything above it has gone.
// GUI thread only.
#include <windows.h>

#include <functional>

class TWindowHook {
public:
    // Sees a message before it is passed on; returns true to answer it itself (with result), false to pass
    // it on. Exceptions go to the application's error display and the message is passed on.
    using THandler = std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)>;

    TWindowHook() = default;
    ~TWindowHook() { Remove(); }
    TWindowHook(const TWindowHook&) = delete;
    TWindowHook& operator=(const TWindowHook&) = delete;

    // Hooks wnd; raises EOutOfResources when every hook procedure is in use.
    void Install(HWND wnd, THandler handler);
    void Remove();
    bool Installed() const { return FSlot >= 0; }
    // The procedure messages go on to (what the window had before this hook).
    WNDPROC Saved() const;

    // Hook procedures there are; how many are in use (pass-throughs included).
    static int Capacity();
    static int InUse();

private:
    int FSlot = -1;
};
