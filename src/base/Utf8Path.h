#pragma once
// Paths are UTF-8 strings throughout the system. std::filesystem::path made
// from a plain std::string takes the bytes in the system's narrow encoding,
// which on Windows is not UTF-8 (Korean names come out garbled), so paths
// cross into and out of std::filesystem through these two. On Linux both are
// the bytes unchanged, even where they are not valid UTF-8.

#include <filesystem>
#include <string>
#include <string_view>

namespace veskar {

inline std::filesystem::path pathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// With '/' between folders on every system, as the rest of the system writes
// paths; Windows takes '/' as well as '\'.
inline std::string utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

} // namespace veskar
