#pragma once
// Formatting a long run of items (vertices, indices, frames) on two threads:
// chunks alternate between the calling thread and a helper, and reach the
// writer in order, so the text is the one formatting in order gives. The
// helper keeps at most two chunks ahead.

// About the text a chunk should come to: small, since a chunk's buffer is
// fresh memory, and every chunk is a hand-over between the threads.
constexpr std::size_t kChunkText = std::size_t{1} << 17;

#include "mref/TextWriter.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

namespace veskar {

// format(writer, begin, end) puts items [begin, end) into writer.
template <typename Format>
void putChunked(TextWriter& out, std::size_t count, std::size_t chunk, Format format)
{
    chunk = std::max<std::size_t>(chunk, 1);
    const std::size_t chunks = (count + chunk - 1) / chunk;
    const auto formatChunk = [&](TextWriter& to, std::size_t k) { format(to, k * chunk, std::min(count, (k + 1) * chunk)); };
    struct Slot {
        TextWriter text;
        bool ready = false;
    };
    std::array<Slot, 2> slots;
    for (Slot& slot : slots) slot.text.reserve(kChunkText);
    std::mutex mutex;
    std::condition_variable changed;
    bool helperRuns = chunks >= 2;
    // A failed allocation on either thread ends both; the calling thread then
    // throws it on, to the file's own refusal, with the helper joined.
    bool stop = false;
    bool helperFailed = false;
    std::thread helper;
    if (helperRuns) {
        try {
            // The helper takes the odd chunks.
            helper = std::thread([&] {
                try {
                    for (std::size_t k = 1, n = 0; k < chunks; k += 2, ++n) {
                        Slot& slot = slots[n % 2];
                        {
                            std::unique_lock<std::mutex> lock(mutex);
                            changed.wait(lock, [&] { return !slot.ready || stop; });
                            if (stop) return;
                        }
                        slot.text.clear();
                        formatChunk(slot.text, k);
                        {
                            std::lock_guard<std::mutex> lock(mutex);
                            slot.ready = true;
                        }
                        changed.notify_all();
                    }
                } catch (const std::bad_alloc&) {
                    {
                        std::lock_guard<std::mutex> lock(mutex);
                        helperFailed = true;
                    }
                    changed.notify_all();
                }
            });
        } catch (const std::exception&) {
            helperRuns = false;   // no thread to be had: all chunks here
        }
    }
    try {
        for (std::size_t k = 0, n = 0; k < chunks; ++k) {
            if (!helperRuns || k % 2 == 0) {
                formatChunk(out, k);
            } else {
                Slot& slot = slots[n % 2];
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] { return slot.ready || helperFailed; });
                    if (!slot.ready) throw std::bad_alloc();
                }
                out.putBlock(slot.text.text());
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    slot.ready = false;
                    ++n;
                }
                changed.notify_all();
            }
            out.spill();
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        changed.notify_all();
        if (helper.joinable()) helper.join();
        throw;
    }
    if (helper.joinable()) helper.join();
}

} // namespace veskar
