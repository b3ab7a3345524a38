#include "framework/HiddenWindow.h"

#include "framework/Controls.h"

namespace {
const char kClassName[] = "TapewingHiddenWindow";

void RegisterClassOnce(WNDPROC proc)
{
    WNDCLASSA wc = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), kClassName, &wc)) return;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
}
}  // namespace

THiddenWindow::THiddenWindow(Handler handler) : FHandler(std::move(handler))
{
    RegisterClassOnce(&THiddenWindow::Proc);
    FHandle = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), this);
    if (!FHandle) throw EOutOfResources("Error creating window");
}

THiddenWindow::~THiddenWindow()
{
    if (FHandle) {
        SetWindowLongPtrA(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
    }
}

LRESULT CALLBACK THiddenWindow::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (self && self->FHandler) {
        LRESULT result = 0;
        bool handled = false;
        SafeCall([&] { handled = self->FHandler(msg, wParam, lParam, result); });
        if (handled) return result;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}
