#pragma once
// Windows takes UTF-16 at its system calls; Veskar keeps text and paths in
// UTF-8 everywhere else. These convert at that boundary. Malformed UTF-8
// becomes U+FFFD, as no Windows file name can hold it anyway.

#include <string>
#include <string_view>

namespace veskar {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// A UTF-8 path as the wide system calls take it. Paths too long for the
// classic MAX_PATH limit are made absolute and given the \\?\ prefix, which
// lifts the limit on every Windows since XP.
std::wstring systemPath(std::string_view utf8);

// What a Windows error code means, in the words the Linux build uses where
// there is one ("No such file or directory", "Permission denied"), else the
// system's own text.
std::string systemErrorText(unsigned long code);

} // namespace veskar
