#pragma once
// The system's half of standard output: where the bytes go and how. On Linux
// they are written as they are; on Windows a console gets them as UTF-16 (so
// Hangul reads right whatever its code page) and a pipe or file the UTF-8
// bytes unchanged.

#include <cstdio>
#include <string_view>

namespace veskar {

// Writes text and flushes it; false with an errno value in error when any of
// it was lost.
bool writeConsoleOutput(std::string_view text, int& error);

// The bytes unchanged through the C library's stdout, flushed: all of Linux's
// half and the way to a pipe or file on Windows. Defined with the shared part.
bool writeStandardOutputBytes(std::string_view text, int& error);

} // namespace veskar
