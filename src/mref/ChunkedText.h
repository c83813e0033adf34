#pragma once
// Formatting a long run of items (vertices, indices, frames) on two threads:
// chunks alternate between the calling thread and a helper, and reach the
// writer in order, so the text is the one formatting in order gives. The
// helper keeps at most two chunks ahead.

// About the text a chunk should come to. Every chunk is a hand-over between
// the threads, and the calling thread waits at each for the helper; the
// helper's two buffers are filled again and again, so larger chunks cost
// little fresh memory.
constexpr std::size_t kChunkText = std::size_t{1} << 19;

// Fewer chunks than this are formatted on the calling thread alone: the
// helper's start, the fresh pages of its buffers and the hand-overs cost
// more processor time than a short text takes to format.
constexpr std::size_t kChunksForHelper = 16;

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

// The two buffers the helper fills ahead and the calling thread empties, in
// turn. A failed allocation on either thread ends both.
class ChunkHandOver {
public:
    ChunkHandOver()
    {
        for (Slot& slot : slots_) slot.text.reserve(kChunkText);
    }

    // On the helper: the odd chunks, 1, 3, 5 and on, into the slots in turn,
    // until they are done or stop() is called.
    template <typename FormatChunk>
    void fill(std::size_t chunks, const FormatChunk& formatChunk)
    {
        try {
            for (std::size_t k = 1, n = 0; k < chunks; k += 2, ++n) {
                Slot& slot = slots_[n % 2];
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    changed_.wait(lock, [&] { return !slot.ready || stop_; });
                    if (stop_) return;
                }
                slot.text.clear();
                formatChunk(slot.text, k);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    slot.ready = true;
                }
                changed_.notify_all();
            }
        } catch (const std::bad_alloc&) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                helperFailed_ = true;
            }
            changed_.notify_all();
        }
    }

    // On the calling thread: the helper's n-th chunk into out once it is
    // ready; throws bad_alloc when the helper ran out of memory.
    void take(TextWriter& out, std::size_t n)
    {
        Slot& slot = slots_[n % 2];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return slot.ready || helperFailed_; });
            if (!slot.ready) throw std::bad_alloc();
        }
        out.putBlock(slot.text.text());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.ready = false;
        }
        changed_.notify_all();
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
    }

private:
    struct Slot {
        TextWriter text;
        bool ready = false;
    };
    std::array<Slot, 2> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool helperFailed_ = false;
};

// format(writer, begin, end) puts items [begin, end) into writer.
template <typename Format>
void putChunked(TextWriter& out, std::size_t count, std::size_t chunk, Format format)
{
    chunk = std::max<std::size_t>(chunk, 1);
    const std::size_t chunks = (count + chunk - 1) / chunk;
    const auto formatChunk = [&](TextWriter& to, std::size_t k) { format(to, k * chunk, std::min(count, (k + 1) * chunk)); };
    ChunkHandOver handOver;
    bool helperRuns = chunks >= kChunksForHelper;
    std::thread helper;
    if (helperRuns) {
        try {
            helper = std::thread([&] { handOver.fill(chunks, formatChunk); });
        } catch (const std::exception&) {
            helperRuns = false;   // no thread to be had: all chunks here
        }
    }
    // A failure here stops the helper and is thrown on, to the file's own
    // refusal, once the helper is joined.
    try {
        for (std::size_t k = 0, n = 0; k < chunks; ++k) {
            if (!helperRuns || k % 2 == 0) formatChunk(out, k);
            else handOver.take(out, n++);
            out.spillAll();
        }
    } catch (...) {
        handOver.stop();
        if (helper.joinable()) helper.join();
        throw;
    }
    if (helper.joinable()) helper.join();
}

} // namespace veskar
