#include "system/DataFiles.h"

#include "system/ExecutableFolder.h"

#include <filesystem>

// Set by the build from the install layout: the data folder relative to the
// folder the programs are installed in.
#ifndef VESKAR_DATA_FROM_BIN
#error "VESKAR_DATA_FROM_BIN is set by src/system/CMakeLists.txt"
#endif

namespace veskar {
namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 inside the program, whatever the system's own narrow encoding.
fs::path fromUtf8(std::string_view text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string toUtf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::vector<std::string> dataFileLocations(std::string_view relativePath, const std::string& executableFolder)
{
    std::vector<std::string> places{"./" + std::string(relativePath)};
    if (executableFolder.empty()) return places;
    const fs::path folder = fromUtf8(executableFolder);
    const fs::path relative = fromUtf8(relativePath);
    places.push_back(toUtf8((folder / relative).lexically_normal()));
    places.push_back(toUtf8((folder / fromUtf8(VESKAR_DATA_FROM_BIN) / relative).lexically_normal()));
    return places;
}

std::vector<std::string> dataFileLocations(std::string_view relativePath)
{
    return dataFileLocations(relativePath, executableFolder());
}

std::string firstExisting(const std::vector<std::string>& places)
{
    for (const std::string& place : places) {
        std::error_code error;
        if (fs::exists(fromUtf8(place), error)) return place;
    }
    return {};
}

} // namespace veskar
