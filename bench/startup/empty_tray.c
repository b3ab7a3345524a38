/* The baseline for the start-up benchmark: the least a Win32 program does to put an icon in the tray. */
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmd, int show)
{
    WNDCLASSA wc = {0};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "EmptyTray";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowA("EmptyTray", "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance, NULL);
    NOTIFYICONDATAA data = {0};
    data.cbSize = 88;
    data.hWnd = wnd;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_MESSAGE;
    data.uCallbackMessage = WM_USER + 0x400;
    data.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    Shell_NotifyIconA(NIM_ADD, &data);
    Sleep(3000);
    Shell_NotifyIconA(NIM_DELETE, &data);
    return 0;
}
