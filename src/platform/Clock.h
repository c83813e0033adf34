#pragma once
// The millisecond clock the frame timer reads: monotonic, wrapping at 2^32.

#include <chrono>
#include <cstdint>

namespace veskar {

inline std::uint32_t milliseconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace veskar
