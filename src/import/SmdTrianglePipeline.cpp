#include "import/SmdTrianglePipeline.h"

#include "import/SmdTriangleShare.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace veskar {

namespace {

struct Block {
    std::vector<SmdTriangle> table;
    std::vector<std::int64_t> repeats;  // three a table entry
    std::vector<BoneLink> pool;
    std::size_t count = 0;
};

// The blocks between the two threads, filled and emptied in turn. A few are
// enough: the reader is the slower side, and each is small enough to stay
// in the cache from its reading to its welding.
class BlockRing {
public:
    static constexpr std::size_t kSize = 4;

    // The next block to read into, once the sink is done with it; null when
    // the sink stopped.
    Block* toFill()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return filled_ - emptied_ < kSize || stopped_; });
        return stopped_ ? nullptr : &blocks_[filled_ % kSize];
    }
    void filled()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++filled_;
        changed_.notify_all();
    }
    // The oldest block read and not yet taken; null when there are no more.
    Block* toEmpty()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return filled_ > emptied_ || finished_ || stopped_; });
        return filled_ > emptied_ && !stopped_ ? &blocks_[emptied_ % kSize] : nullptr;
    }
    void emptied()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++emptied_;
        changed_.notify_all();
    }
    // The reader has filled its last block.
    void finish()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }
    // Either side gave up: neither waits for the other any more.
    void stop()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

private:
    std::array<Block, kSize> blocks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t filled_ = 0, emptied_ = 0;
    bool finished_ = false, stopped_ = false;
};

// Prepared and taken at once: the sink has one lane, and never more than
// one block of it waiting.
bool handOver(TriangleSink& sink, const Block& block)
{
    sink.prepare(0, std::span<const SmdTriangle>(block.table.data(), block.count), block.pool,
                 std::span<const std::int64_t>(block.repeats.data(), block.count * 3));
    return sink.take(0).empty();
}

// False when the sink refused a block (or threw, which is the same); the
// reader then stops at its next block.
bool emptyBlocks(TriangleSink& sink, BlockRing& ring)
{
    try {
        while (const Block* block = ring.toEmpty()) {
            if (!handOver(sink, *block)) {
                ring.stop();
                return false;
            }
            ring.emptied();
        }
        return true;
    } catch (const std::exception&) {
        ring.stop();
        return false;
    }
}

struct Reading {
    LineCursor& cursor;
    const std::string& file;
    const NodeNumbers& nodes;
    std::int32_t blockTriangles;
    PipedTriangles& piped;
    std::unique_ptr<VertexLineMemo> memo;  // kept from block to block
    MaterialIndex noMaterials;             // a sink is given no material numbers
    Diagnostic refusal;                    // unused: the careful reading gives it
};

// One block from where the cursor is; false when a line is refused or the
// lines ended early. last: the section ended in it.
bool readBlock(Reading& r, Block& block, bool& last)
{
    const std::int32_t first = r.piped.count;
    if (first > std::numeric_limits<std::int32_t>::max() - r.blockTriangles) return false;
    const auto size = static_cast<std::size_t>(r.blockTriangles);
    block.table.resize(size);
    block.repeats.resize(size * 3);
    block.pool.clear();
    TriangleShare share(block.table, first, block.pool, r.cursor, r.file, r.refusal, r.noMaterials, r.nodes, first);
    share.stopAt = first + r.blockTriangles;
    share.memo = r.memo.get();
    share.repeats = block.repeats.data();
    share.materialRuns = &r.piped.materialRuns;
    if (share.run() != kSmdRead || !r.cursor.failure().empty()) return false;
    block.count = static_cast<std::size_t>(share.next - first);
    r.piped.count = share.next;
    last = share.next < share.stopAt;
    return true;
}

bool readInline(Reading& r, TriangleSink& sink)
{
    Block block;
    for (bool last = false; !last;) {
        if (!readBlock(r, block, last)) return false;
        if (block.count > 0 && !handOver(sink, block)) return false;
    }
    return true;
}

bool readBeside(Reading& r, BlockRing& ring)
{
    for (bool last = false; !last;) {
        Block* block = ring.toFill();
        if (!block || !readBlock(r, *block, last)) return false;
        if (block->count > 0) ring.filled();
    }
    ring.finish();
    return true;
}

} // namespace

bool pipeTriangles(LineCursor& cursor, const std::string& file, const NodeNumbers& nodes, TriangleSink& sink, const TrianglePipe& pipe,
                   PipedTriangles& piped)
{
    piped = PipedTriangles{};
    Reading r{cursor, file, nodes, std::max<std::int32_t>(1, pipe.blockTriangles), piped, nullptr, {}, {}};
    try {
        r.memo = std::make_unique<VertexLineMemo>();
    } catch (const std::bad_alloc&) {
        // Without one every line is read from its fields.
    }
    BlockRing ring;
    std::thread welder;
    bool taken = false;
    if (pipe.secondThread) {
        try {
            welder = std::thread([&] { taken = emptyBlocks(sink, ring); });
        } catch (const std::exception&) {
            // No thread to be had: the sink's work is done here.
        }
    }
    if (!welder.joinable()) {
        try {
            return readInline(r, sink);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    bool read = false;
    try {
        read = readBeside(r, ring);
    } catch (const std::bad_alloc&) {
    }
    if (!read) ring.stop();
    welder.join();
    return read && taken;
}

} // namespace veskar
