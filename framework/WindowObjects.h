#pragma once
// Objects attached to this process's windows under a key, read on every message of those windows.
// Window properties would serve, but where each property read is a round trip to the window server (tens
// of microseconds under Wine) a tree of thousands of items took seconds to fill and to clear.
// Used on the GUI thread; entries of a window go when its last message (WM_NCDESTROY) has been handled.
#include <windows.h>

void SetWindowObject(HWND wnd, const char* key, void* object);
void* GetWindowObject(HWND wnd, const char* key);
void RemoveWindowObject(HWND wnd, const char* key);
void RemoveWindowObjects(HWND wnd);
