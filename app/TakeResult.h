// How one take ended, as the recording window tells the take launch.
#pragma once

#include <string>

// Kept: Stop. Cancelled: Cancel deleted the file (or the program ended with the window up). StartFailed: no
// take and no file. NameTaken: something of the take's name exists, made since the name was chosen.
enum class TTakeEnd { Kept, Cancelled, StartFailed, NameTaken };

struct TTakeResult {
    TTakeEnd End = TTakeEnd::Kept;
    std::string Failure;  // why the take could not start, in words for the user
};
