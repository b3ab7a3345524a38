// Names of take files: base name, number, ".wav". Pure, so the rules are tested on any host.
#pragma once

#include <cstdint>
#include <string>

// Take numbers run from 1 to this.
constexpr int MaxTakeNumber = 999;
// Longest path the platform's file calls take (MAX_PATH without its terminating zero).
constexpr std::size_t kMaxTakePathLength = 259;

// The file name of take n: base name, number in decimal, ".wav".
std::string TakeFileNameFor(const std::string& base, int n);

// Why base would not give good take files in folder, as a sentence for the user; empty when it would. Refused:
// characters that file names cannot hold (\ / : * ? " < > | and control characters, which would write
// elsewhere, into a hidden stream or nowhere), names that form one of the platform's device names with a
// number (COM1.wav opens a serial port), and names whose longest take path would be too long for the platform.
// An empty base name is fine: takes are then named 1.wav, 2.wav, ...
std::string BaseNameProblem(const std::string& folder, const std::string& base);

// Text shortened to at most max characters (ending in "..."), for message boxes that must fit the screen.
std::string ShortForDisplay(const std::string& text, std::size_t max = 48);
