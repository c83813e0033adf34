#pragma once
// veskar-convert: the convert commands and a look inside model files, from
// the command line, without a window.

#include <string>
#include <vector>

namespace veskar {

// Runs the tool with its arguments (without the program name); returns the
// exit status: 0 all files done, 1 some failed, 2 usage error.
int runConvertTool(const std::vector<std::string>& args);

} // namespace veskar
