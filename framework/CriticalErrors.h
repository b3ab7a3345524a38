// Disk probes without the platform's "insert a disk" prompts: an empty removable drive or an unreachable
// share answers "not there" instead of stopping the program with a question.
#pragma once

#include <windows.h>

// Suppresses the prompts for a scope and puts the previous mode back on every exit.
class TCriticalErrorsOff {
public:
    TCriticalErrorsOff() : FOld(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~TCriticalErrorsOff() { SetErrorMode(FOld); }
    TCriticalErrorsOff(const TCriticalErrorsOff&) = delete;
    TCriticalErrorsOff& operator=(const TCriticalErrorsOff&) = delete;

private:
    UINT FOld;
};
