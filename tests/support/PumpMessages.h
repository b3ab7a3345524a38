// Dispatches the thread's waiting messages; with a time, keeps at it until that many milliseconds have passed.
#pragma once

#include <windows.h>

inline void PumpMessages(DWORD milliseconds = 0)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (milliseconds) Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}
