/* What the end-to-end scripts ask of the program's windows that X cannot tell.
 *   e2e_probe text TITLE         prints the texts of the visible top-level window TITLE's children (a message
 *                                box's text and buttons), one per line
 *   e2e_probe session TITLE END  sends the session's end query to every top-level window of the process that
 *                                owns window TITLE, then WM_ENDSESSION with END (0: another program cancelled
 *                                the log-off, 1: the session ends); prints the query's answers
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

struct Find {
    const char* Title;
    HWND Found;
};

static BOOL CALLBACK FindVisible(HWND wnd, LPARAM param)
{
    struct Find* f = (struct Find*)param;
    char text[512];
    if (IsWindowVisible(wnd) && GetWindowTextA(wnd, text, sizeof text) >= 0 && strcmp(text, f->Title) == 0) {
        f->Found = wnd;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK PrintChild(HWND wnd, LPARAM unused)
{
    char text[1024];
    (void)unused;
    if (GetWindowTextA(wnd, text, sizeof text) > 0) printf("%s\n", text);
    return TRUE;
}

struct Session {
    DWORD Process;
    WPARAM End;
    int Yes, No;
};

static BOOL CALLBACK Query(HWND wnd, LPARAM param)
{
    struct Session* s = (struct Session*)param;
    DWORD process = 0;
    DWORD_PTR answer = 0;
    GetWindowThreadProcessId(wnd, &process);
    if (process != s->Process) return TRUE;
    if (SendMessageTimeoutA(wnd, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer) && !answer) ++s->No;
    else ++s->Yes;
    return TRUE;
}

static BOOL CALLBACK End(HWND wnd, LPARAM param)
{
    struct Session* s = (struct Session*)param;
    DWORD process = 0;
    DWORD_PTR answer = 0;
    GetWindowThreadProcessId(wnd, &process);
    if (process == s->Process) SendMessageTimeoutA(wnd, WM_ENDSESSION, s->End, 0, SMTO_BLOCK, 10000, &answer);
    return TRUE;
}

int main(int argc, char** argv)
{
    HWND wnd;
    if (argc < 3) return 2;
    wnd = FindWindowA(NULL, argv[2]);
    if (!wnd) {
        fprintf(stderr, "no window \"%s\"\n", argv[2]);
        return 1;
    }
    if (strcmp(argv[1], "text") == 0) {
        struct Find f = {argv[2], NULL};
        EnumWindows(FindVisible, (LPARAM)&f);
        if (!f.Found) {
            fprintf(stderr, "no visible window \"%s\"\n", argv[2]);
            return 1;
        }
        EnumChildWindows(f.Found, PrintChild, 0);
        return 0;
    }
    if (strcmp(argv[1], "session") == 0 && argc > 3) {
        struct Session s = {0, (WPARAM)atoi(argv[3]), 0, 0};
        GetWindowThreadProcessId(wnd, &s.Process);
        EnumWindows(Query, (LPARAM)&s);
        EnumWindows(End, (LPARAM)&s);
        printf("query answered yes by %d windows, no by %d\n", s.Yes, s.No);
        return 0;
    }
    return 2;
}
