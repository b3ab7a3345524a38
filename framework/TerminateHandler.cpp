// Replaces the run-time's default terminate handler, which demangles the type of an escaped exception for a
// console the program does not have, and brings a demangler of some 46 KB into the program for it.
// Exceptions are caught before they reach a window procedure or a callback; one that escapes all the same
// leaves its message to a debugger and ends the program as the default would.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <string>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    try {
        if (std::exception_ptr e = std::current_exception()) std::rethrow_exception(e);
    } catch (const std::exception& e) {
        OutputDebugStringA(("tapewing: unhandled exception: " + std::string(e.what()) + "\n").c_str());
    } catch (...) {
        OutputDebugStringA("tapewing: unhandled exception\n");
    }
    std::abort();
}
}  // namespace __gnu_cxx
