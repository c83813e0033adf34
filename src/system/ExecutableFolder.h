#pragma once
// The folder the running program was started from, so that it can find the
// files installed with it wherever the user starts it. Each system has its own
// half (posix/, win32/).

#include <string>

namespace veskar {

// The executable's folder as a UTF-8 path without a trailing separator, links
// resolved; empty when the system cannot tell.
std::string executableFolder();

} // namespace veskar
