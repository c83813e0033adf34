#pragma once
// Windows takes UTF-16 at its system calls; Veskar keeps text and paths in
// UTF-8 everywhere else. These convert at that boundary. Malformed UTF-8
// becomes U+FFFD, as no Windows file name can hold it anyway.

#include <string>
#include <string_view>

namespace veskar {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

} // namespace veskar
