#pragma once
// File names in messages. A name may hold any byte but '/' and NUL; printed
// raw, a newline or an escape sequence in it would forge lines of output or
// drive the terminal. Control characters are written as C escapes instead.

#include <string>
#include <string_view>

namespace veskar {

// name with its control characters (below 0x20, 0x7F, and U+0080 to U+009F
// in UTF-8) escaped as \n, \r, \t or \xHH; everything else as it is.
std::string printableName(std::string_view name);

} // namespace veskar
