#pragma once
// veskar-convert check: what a target's model compiler or engine will refuse
// or silently change in a model.

#include <string>
#include <vector>

namespace veskar {

// args are the words after "check" with -j already taken out; returns the
// exit status (0 nothing over a limit, 1 something is, or a file was
// refused, 2 a usage error).
int runCheckCommand(const std::vector<std::string>& args, unsigned jobs);

} // namespace veskar
