// A hidden top-level window whose messages go to a handler, for components that hear the platform
// through window messages (timers, the tray icon, the audio engine).
#pragma once

#include <windows.h>

#include <functional>

class THiddenWindow {
public:
    // Returns true when it handled the message and set result; otherwise DefWindowProcA runs.
    using Handler = std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)>;

    explicit THiddenWindow(Handler handler);
    ~THiddenWindow();
    THiddenWindow(const THiddenWindow&) = delete;
    THiddenWindow& operator=(const THiddenWindow&) = delete;

    HWND Handle() const { return FHandle; }

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    Handler FHandler;
    HWND FHandle = nullptr;
};
