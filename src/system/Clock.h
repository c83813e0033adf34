#pragma once
// The clocks the viewer reads: a millisecond clock for the frame timer
// (monotonic, wrapping at 2^32), seconds for playback and movement, and the
// local calendar time that names screenshots.

#include <chrono>
#include <cstdint>
#include <ctime>

namespace veskar {

inline std::uint32_t milliseconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// Monotonic seconds from an arbitrary start.
inline double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The wall clock as local calendar time; all zero when the system cannot say.
inline std::tm localCalendarTime()
{
    const std::time_t now = std::time(nullptr);
    // The viewer has one thread, so the shared buffer of localtime is safe.
    const std::tm* local = std::localtime(&now);
    return local ? *local : std::tm{};
}

} // namespace veskar
