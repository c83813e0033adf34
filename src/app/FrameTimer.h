#pragma once
// Frames per second over windows of at least one second of real time.

#include <cstdint>

namespace veskar {

struct FrameTimer {
    bool started = false;
    std::uint32_t lastTime = 0;   // milliseconds of the clock, which may wrap
    std::int32_t counter = 0;
    float elapsed = 0.0f;         // seconds since the last fps value

    // One rendered frame at clock time now; fps changes about once a second.
    void update(std::uint32_t now, float& fps)
    {
        if (!started) {
            started = true;
            lastTime = now;
        }
        ++counter;
        elapsed += static_cast<float>(static_cast<std::uint32_t>(now - lastTime)) * 0.001f;
        if (elapsed >= 1.0f) {
            fps = static_cast<float>(counter) / elapsed;
            elapsed = 0.0f;
            counter = 0;
        }
        lastTime = now;
    }
};

} // namespace veskar
