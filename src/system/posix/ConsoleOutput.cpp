// The Linux half of standard output: the bytes go as they are.

#include "system/ConsoleOutput.h"

namespace veskar {

bool writeConsoleOutput(std::string_view text, int& error) { return writeStandardOutputBytes(text, error); }

} // namespace veskar
