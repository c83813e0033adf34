#pragma once
// veskar-convert smd: engine files back to SMD for editing.

#include <string>
#include <vector>

namespace veskar {

// args are the words after "smd" with -j already taken out; returns the exit
// status (0 every file written, 1 some refused, 2 a usage error).
int runSmdCommand(const std::vector<std::string>& args, unsigned jobs);

} // namespace veskar
