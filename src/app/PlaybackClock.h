#pragma once
// Real time for animations: how many seconds a frame stands for, from the
// host's clock, and how many keys that is.

namespace veskar {

// Normal speed; key '2' plays at a quarter of it.
constexpr float kKeysPerSecond = 30.0f;

struct PlaybackClock {
    // A frame after a stall (a dialog, a long load) counts as one second at
    // most, so playback does not leap when the window comes back.
    static constexpr double kLongestFrame = 1.0;

    bool started = false;
    double last = 0.0;   // the clock at the last frame

    // Seconds since the last frame at clock time now: 0 for the first frame,
    // as nothing has played before it, and for a clock that went backwards.
    double tick(double now)
    {
        double seconds = 0.0;
        if (started && now > last) seconds = now - last < kLongestFrame ? now - last : kLongestFrame;
        started = true;
        last = now;
        return seconds;
    }
};

} // namespace veskar
