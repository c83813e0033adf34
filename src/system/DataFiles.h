#pragma once
// Files the program ships beside it (the shading effect): where to look for
// them. The working folder comes first, as it always has, so a checkout or a
// folder of one's own overrides what is installed.

#include <string>
#include <string_view>
#include <vector>

namespace veskar {

// The places a shipped file is looked for, in order: "./" + relativePath in
// the working folder, relativePath beside the executable, then in the data
// folder the program was installed with (<prefix>/share/veskar, found from the
// executable's folder so that an installed tree can move). Without an
// executable folder only the first.
std::vector<std::string> dataFileLocations(std::string_view relativePath, const std::string& executableFolder);

// The same for the running program.
std::vector<std::string> dataFileLocations(std::string_view relativePath);

// The first of the places where something by that name exists, or empty. A
// file that is there but cannot be read is still the one meant, so that its
// own error is reported rather than a copy elsewhere used in silence.
std::string firstExisting(const std::vector<std::string>& places);

} // namespace veskar
