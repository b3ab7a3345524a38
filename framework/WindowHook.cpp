#include "framework/WindowHook.h"

#include <array>
#include <utility>

#include "framework/Controls.h"
#include "framework/SysUtils.h"

namespace {

struct TSlot {
    HWND Wnd = nullptr;
    WNDPROC Saved = nullptr;
    TWindowHook::THandler Handler;
    bool Live = false;  // false with Wnd set: a pass-through left in a chain
};

constexpr int kSlots = 32;
TSlot g_slots[kSlots];

void FreeSlot(int n) { g_slots[n] = TSlot{}; }

LRESULT Dispatch(int n, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TSlot& slot = g_slots[n];
    const WNDPROC saved = slot.Saved;
    if (!saved) return DefWindowProcA(wnd, msg, wParam, lParam);
    if (slot.Live && slot.Handler) {
        TWindowHook::THandler handler = slot.Handler;  // the hook may be removed while it runs
        LRESULT result = 0;
        bool answered = false;
        SafeCall([&] { answered = handler(msg, wParam, lParam, result); });
        if (answered) return result;
    }
    LRESULT result = CallWindowProcA(saved, wnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY && !g_slots[n].Live && g_slots[n].Wnd == wnd) FreeSlot(n);
    return result;
}

template <int N> LRESULT CALLBACK SlotProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Dispatch(N, wnd, msg, wParam, lParam);
}

template <int... N> constexpr auto MakeProcs(std::integer_sequence<int, N...>)
{
    return std::array<WNDPROC, sizeof...(N)>{&SlotProc<N>...};
}
constexpr auto kProcs = MakeProcs(std::make_integer_sequence<int, kSlots>{});

int SlotOfProc(HWND wnd, WNDPROC proc)
{
    for (int n = 0; n < kSlots; ++n)
        if (kProcs[n] == proc && g_slots[n].Wnd == wnd) return n;
    return -1;
}

// Takes the pass-throughs at the top of wnd's chain out, as far down as they go.
void Unwind(HWND wnd)
{
    if (!IsWindow(wnd)) {
        for (int n = 0; n < kSlots; ++n)
            if (g_slots[n].Wnd == wnd && !g_slots[n].Live) FreeSlot(n);
        return;
    }
    for (;;) {
        int n = SlotOfProc(wnd, reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)));
        if (n < 0 || g_slots[n].Live) return;
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_slots[n].Saved));
        FreeSlot(n);
    }
}

}  // namespace

void TWindowHook::Install(HWND wnd, THandler handler)
{
    Remove();
    int n = 0;
    while (n < kSlots && g_slots[n].Wnd) ++n;
    if (n == kSlots) throw EOutOfResources("Too many window hooks");
    TSlot& slot = g_slots[n];
    slot.Wnd = wnd;
    slot.Handler = std::move(handler);
    slot.Live = true;
    slot.Saved = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kProcs[n])));
    if (!slot.Saved) {
        FreeSlot(n);
        throw EOutOfResources("Cannot hook the window");
    }
    FSlot = n;
}

void TWindowHook::Remove()
{
    if (FSlot < 0) return;
    TSlot& slot = g_slots[FSlot];
    FSlot = -1;
    slot.Live = false;
    slot.Handler = nullptr;
    Unwind(slot.Wnd);
}

WNDPROC TWindowHook::Saved() const { return FSlot >= 0 ? g_slots[FSlot].Saved : nullptr; }

int TWindowHook::Capacity() { return kSlots; }

int TWindowHook::InUse()
{
    int used = 0;
    for (const TSlot& slot : g_slots) used += slot.Wnd != nullptr;
    return used;
}
