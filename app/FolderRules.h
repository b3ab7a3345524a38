// Rules for the folder that takes are saved in, free of the platform so they can be tested anywhere.
#pragma once

#include <string>

// The folder as take paths need it: take paths are the folder followed directly by the file name, so a
// folder without a closing separator gets a backslash. An empty folder stays empty.
std::string WithTrailingBackslash(const std::string& folder);

// True for a drive path ("C:\...") and a share path ("\\server\share" and below); "/" counts as a separator
// as it does for the platform. Anything else ("Takes", "C:Takes", "\Takes") depends on the current folder or
// drive of whoever started the program.
bool IsAbsoluteFolder(const std::string& path);
