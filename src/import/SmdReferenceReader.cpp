// Reads an SMD reference file into a mesh slot: a counting pass that sizes
// the tables, then a reading pass over the same lines (a file is read twice
// rather than held), large triangle sections in shares on several threads.
// A model with a triangle sink has its triangles handed over in blocks, in
// file order, instead of kept; such a file is read once where it allows,
// and in two passes where it does not.

#include "import/SmdReaders.h"
#include "import/SmdSections.h"
#include "import/SmdTriangleShare.h"
#include "import/SmdTrianglePipeline.h"
#include "import/TriangleSink.h"
#include "system/LargePages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace veskar {

namespace {

class ReferenceReader : public SmdModelReader {
public:
    ReferenceReader(SmdModelRecords& model, SmdMesh& mesh, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : SmdModelReader(model, lines, file, summary), mesh_(mesh)
    {
    }

    SmdReadResult run();

private:
    std::optional<SmdReadResult> readInOnePass();
    bool readHeadSections(long trianglesLine);
    SmdReadResult count();
    SmdReadResult allocate();
    SmdReadResult readNodes();
    SmdReadResult readSkeleton();
    SmdReadResult readTriangles();
    SmdReadResult readInShares(const TriangleSection& section, const std::vector<const TriangleMark*>& starts);
    SmdReadResult readIntoSink(const TriangleSection* section);

    // Reading into a sink: blocks between marks, lanes that read runs of
    // them, and the turns in which they are handed over.
    struct SinkBlock {
        std::uint64_t offset;
        long line;
        std::int32_t first;
        std::int32_t end;  // one past its last triangle
    };
    struct SinkRead {
        SmdReadResult result = kSmdRead;
        std::string why;  // a refusal of the block as a whole
        long whyLine = 0;
        std::int32_t next = 0;
        Diagnostic diagnostic;
    };
    struct SinkLane {
        LineCursor own;
        LineCursor* cursor = &own;
        std::vector<SmdTriangle> table;
        std::vector<std::int64_t> repeats;  // three a table entry
        std::vector<BoneLink> pool;
        std::unique_ptr<VertexLineMemo> memo;  // kept from block to block
        std::array<SinkRead, TriangleSink::kBlocksAhead> run;
    };
    struct SinkTurns {
        std::mutex mutex;
        std::condition_variable turnTaken;
        std::size_t turn = 0;              // the block handed over next
        std::atomic<bool> stopped{false};  // a block was refused: the rest are not read
        std::atomic<std::size_t> nextRun{0};
        SmdReadResult outcome = kSmdRead;
        bool memoryShort = false;  // a lane's allocation failed: the file is refused for it
        const SinkLane* lastLane = nullptr;
    };
    std::vector<SinkBlock> sinkBlocks(const TriangleSection* section) const;
    void readSinkBlock(SinkLane& lane, const SinkBlock& block, bool last, SinkRead& read);
    void readRuns(SinkTurns& turns, SinkLane& lane, std::size_t laneNumber, const std::vector<SinkBlock>& blocks);
    bool handOver(SinkTurns& turns, SinkLane& lane, std::size_t laneNumber, std::size_t k, bool last);

    SmdMesh& mesh_;
    MaterialIndex materialIndex_;
    SmdCounts counts_;
    std::size_t sectionsRead_ = 0;
    std::int32_t trianglesRead_ = 0;
};

SmdReadResult ReferenceReader::count()
{
    model_.nodeCount = model_.frameCount = model_.materialCount = model_.triangleCount = 0;
    model_.materialNames.clear();
    if (!readSmdHeader(cursor_, model_.token, model_.headerValue))
        return refuseAs(kSmdNotSmd, cursor_.lineNumber(), "the first line is not \"version 1\"");
    // Blocks for a sink are small: a block's table, its corners and its links
    // then stay in the cache from the reading to the hand-over.
    if (model_.triangleSink) counts_.markSpacing = std::max(1, model_.minimumShare / 32);
    else if (model_.readerThreads > 1 && model_.minimumShare > 0) counts_.markSpacing = std::max(1, model_.minimumShare / 8);
    countSmdSections(cursor_, counts_, model_.materialNames);
    if (const SmdReadResult r = checkCursor(); r != kSmdRead) return r;
    model_.nodeCount = counts_.nodes.count();
    model_.frameCount = counts_.frameCount;
    model_.materialCount = counts_.materialCount;
    model_.triangleCount = counts_.triangleCount;
    if (model_.frameCount > 1)
        return refuseAs(kSmdWrongKind, 0, "the skeleton has " + std::to_string(model_.frameCount) + " frames; a reference has one");
    if (model_.meshCount >= kModelSlots) return refuseFullModel(kSmdNoFreeSlot, kModelSlots, "meshes");
    return kSmdRead;
}

SmdReadResult ReferenceReader::allocate()
{
    if (!mesh_.allocateNodes(model_.nodeCount) && model_.nodeCount > 0)
        return refuse("not enough memory for " + std::to_string(model_.nodeCount) + " nodes", 0);
    if (model_.triangleSink) {
        mesh_.triangleCount = model_.triangleCount;
        const std::size_t lanes = static_cast<std::size_t>(std::max(1, model_.readerThreads));
        if (const std::string why = model_.triangleSink->expect(model_.triangleCount, lanes); !why.empty()) return refuse(why, 0);
        return kSmdRead;
    }
    if (model_.triangleCount > 0 && !mesh_.allocateTriangles(model_.triangleCount))
        return refuse("not enough memory for " + std::to_string(model_.triangleCount) + " triangles", 0);
    // Most exporters write one to four links a corner; room for four each
    // saves moving the pool as it grows (room that is never written costs no
    // memory).
    try {
        mesh_.linkPool.reserve(static_cast<std::size_t>(model_.triangleCount) * 12);
        preferLargePages(mesh_.linkPool);
    } catch (const std::bad_alloc&) {
    }
    for (std::int32_t i = 0; i < model_.materialCount; ++i)
        materialIndex_[model_.materialNames[static_cast<std::size_t>(i)]] = i;  // the last equal entry wins
    return kSmdRead;
}

// About one triangle to this many bytes of text: a material line and three
// corners of one to four links, as exporters write them (320 to 400). A hint
// for the sink's first tables only.
constexpr std::uint64_t kTextOfATriangle = 384;

// Reading once, for a sink: the sections before the first "triangles" are
// counted and read as in two passes, its triangles are piped into the sink,
// and the rest of the file is only looked over. Nothing when the file holds
// more than that one pass can read in order (a refused line, a section after
// the triangles): it is then read in two passes, which give the refusal.
std::optional<SmdReadResult> ReferenceReader::readInOnePass()
{
    model_.nodeCount = model_.frameCount = model_.materialCount = model_.triangleCount = 0;
    model_.materialNames.clear();
    if (!readSmdHeader(cursor_, model_.token, model_.headerValue))
        return refuseAs(kSmdNotSmd, cursor_.lineNumber(), "the first line is not \"version 1\"");
    counts_.stopAtTriangles = true;
    std::vector<std::string> names;
    countSmdSections(cursor_, counts_, names);
    if (!counts_.trianglesLine || counts_.frameCount > 1 || model_.meshCount >= kModelSlots) return std::nullopt;
    if (!readHeadSections(counts_.trianglesLine)) return std::nullopt;

    summary_.triangleSection = true;
    TriangleSink& sink = *model_.triangleSink;
    const std::uint64_t estimate = std::max<std::uint64_t>(1, (cursor_.size() - cursor_.offset()) / kTextOfATriangle);
    if (!sink.expect(static_cast<std::int32_t>(std::min<std::uint64_t>(estimate, std::numeric_limits<std::int32_t>::max())), 1).empty())
        return std::nullopt;
    const TrianglePipe pipe{std::max(1, model_.minimumShare / 32), model_.readerThreads > 1};
    PipedTriangles piped;
    if (!pipeTriangles(cursor_, file_, counts_.nodes, sink, pipe, piped)) return std::nullopt;
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "nodes") || equalsIgnoringCase(word, "skeleton") || equalsIgnoringCase(word, "triangles")) return std::nullopt;
    }
    if (!cursor_.failure().empty() || composeWorld(mesh_.nodes) != kSmdRead) return std::nullopt;
    model_.triangleCount = mesh_.triangleCount = piped.count;
    model_.materialCount = static_cast<std::int32_t>(piped.materialRuns.size());
    model_.materialNames = std::move(piped.materialRuns);
    return kSmdRead;
}

// The nodes and skeleton sections up to the "triangles" line, which is read
// last; false for anything the two passes would refuse.
bool ReferenceReader::readHeadSections(long trianglesLine)
{
    model_.nodeCount = counts_.nodes.count();
    model_.frameCount = counts_.frameCount;
    if (!cursor_.failure().empty() || model_.nodeCount <= 0 || !mesh_.allocateNodes(model_.nodeCount) || !cursor_.rewind()) return false;
    std::string token;
    std::int32_t value = 0;
    readSmdHeader(cursor_, token, value);
    std::string_view line;
    while (cursor_.lineNumber() < trianglesLine && cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        SmdReadResult r = kSmdRead;
        if (equalsIgnoringCase(word, "nodes")) r = readNodes();
        else if (equalsIgnoringCase(word, "skeleton")) r = readSkeleton();
        if (r != kSmdRead) return false;
    }
    return cursor_.lineNumber() == trianglesLine && cursor_.failure().empty();
}

SmdReadResult ReferenceReader::run()
{
    if (model_.triangleSink) {
        if (const std::optional<SmdReadResult> r = readInOnePass()) return *r;
        // Lines that ended early end the two passes' count at the same line.
        if (!cursor_.failure().empty()) return checkCursor();
        model_.triangleSink->restart();
        diagnostic_.clear();
        summary_.triangleSection = false;
        counts_ = SmdCounts{};
        if (!cursor_.rewind()) return refuse("cannot read the file again: " + cursor_.failure(), 0);
    }
    if (const SmdReadResult r = count(); r != kSmdRead) return r;
    if (const SmdReadResult r = allocate(); r != kSmdRead) return r;

    if (!cursor_.rewind()) return refuse("cannot read the file again: " + cursor_.failure(), 0);
    std::string token;
    std::int32_t value = 0;
    readSmdHeader(cursor_, token, value);
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        SmdReadResult r = kSmdRead;
        if (equalsIgnoringCase(word, "nodes")) r = readNodes();
        else if (equalsIgnoringCase(word, "skeleton")) r = readSkeleton();
        else if (equalsIgnoringCase(word, "triangles")) r = readTriangles();
        if (r != kSmdRead) return r;
    }
    if (const SmdReadResult r = checkCursor(); r != kSmdRead) return r;
    if (trianglesRead_ != mesh_.triangleCount)
        return refuse("the triangles section holds " + std::to_string(trianglesRead_) + " triangles where " +
                          std::to_string(mesh_.triangleCount) + " were counted",
                      0);
    // Parents given without a skeleton section after them were never checked,
    // and a loop among them would be written into an mRef its reader refuses.
    if (const SmdReadResult r = composeWorld(mesh_.nodes); r != kSmdRead) return r;
    // A file that yields no model is no reference, and is refused as one that
    // is not SMD, not written as an empty mRef; an empty triangles section is
    // a model without a mesh, and stays legal.
    if (model_.nodeCount <= 0) return refuseAs(kSmdNotSmd, 0, "the file has no nodes");
    if (!summary_.triangleSection) return refuseAs(kSmdNotSmd, 0, "the file has no triangles section");
    return kSmdRead;
}

SmdReadResult ReferenceReader::readNodes()
{
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) return kSmdRead;
        if (word.empty()) continue;
        NodeLine read;
        if (const SmdReadResult r = readNodeLine(line, counts_.nodes, read); r != kSmdRead) return r;
        // A number listed again is the same node; its later line names it.
        SmdNode& node = mesh_.nodes[static_cast<std::size_t>(read.number)];
        node.name.assign(read.name);
        node.parent = read.parent;
    }
    return kSmdRead;
}

SmdReadResult ReferenceReader::readSkeleton()
{
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) break;
        // The frame marker of the bind pose; exporters that leave it out still
        // have their first bone read.
        if (equalsIgnoringCase(word, "time") || word.empty()) continue;
        BoneLine bone;
        if (const SmdReadResult r = readBoneLine(line, counts_.nodes, bone); r != kSmdRead) return r;
        const float* v = bone.values;
        mesh_.nodes[static_cast<std::size_t>(bone.number)].setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
    }
    return composeWorld(mesh_.nodes);
}

SmdReadResult ReferenceReader::readTriangles()
{
    summary_.triangleSection = true;
    const TriangleSection* section = sectionsRead_ < counts_.triangleSections.size() ? &counts_.triangleSections[sectionsRead_] : nullptr;
    ++sectionsRead_;
    if (model_.triangleSink) return readIntoSink(section);

    // Shares of a large section start at marks the counting pass left; the
    // first share is read on this thread with this cursor. A section the
    // counting pass did not see as the reading pass does is read in order.
    std::vector<const TriangleMark*> starts;
    const int threads = std::max(1, model_.readerThreads);
    if (section && section->first == trianglesRead_ && threads > 1 && model_.minimumShare > 0) {
        const std::int32_t shares = std::min<std::int32_t>(threads, section->count / model_.minimumShare);
        for (std::int32_t k = 1; k < shares; ++k) {
            const std::int32_t target = section->first + static_cast<std::int32_t>(static_cast<std::int64_t>(section->count) * k / shares);
            const auto mark = std::lower_bound(section->marks.begin(), section->marks.end(), target,
                                               [](const TriangleMark& m, std::int32_t t) { return m.triangle < t; });
            if (mark == section->marks.end()) break;
            if (starts.empty() || starts.back()->triangle < mark->triangle) starts.push_back(&*mark);
        }
    }
    if (!starts.empty()) return readInShares(*section, starts);
    TriangleShare all(mesh_.triangles, 0, mesh_.linkPool, cursor_, file_, diagnostic_, materialIndex_, counts_.nodes, trianglesRead_);
    all.run();
    trianglesRead_ = all.next;
    return all.result;
}

SmdReadResult ReferenceReader::readInShares(const TriangleSection& section, const std::vector<const TriangleMark*>& starts)
{
    TriangleShare first(mesh_.triangles, 0, mesh_.linkPool, cursor_, file_, diagnostic_, materialIndex_, counts_.nodes, trianglesRead_);
    first.stopAt = starts.front()->triangle;
    std::vector<LineCursor> cursors(starts.size());
    std::vector<std::vector<BoneLink>> pools(starts.size());
    std::vector<Diagnostic> diagnostics(starts.size());
    std::vector<std::unique_ptr<TriangleShare>> shares;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (!cursors[k].startAt(cursor_, starts[k]->offset, starts[k]->line))
            return refuse("cannot read the file again: " + cursor_.failure(), 0);
        shares.push_back(
            std::make_unique<TriangleShare>(mesh_.triangles, 0, pools[k], cursors[k], file_, diagnostics[k], materialIndex_, counts_.nodes, starts[k]->triangle));
        if (k + 1 < starts.size()) shares.back()->stopAt = starts[k + 1]->triangle;
        const std::int32_t end = k + 1 < starts.size() ? starts[k + 1]->triangle : section.first + section.count;
        try {
            pools[k].reserve(static_cast<std::size_t>(std::max(0, end - starts[k]->triangle)) * 12);
        } catch (const std::bad_alloc&) {
        }
    }
    std::vector<std::thread> workers;
    std::size_t started = 0;
    for (; started < shares.size(); ++started) {
        TriangleShare* share = shares[started].get();
        try {
            workers.emplace_back([share] { share->runGuarded(); });
        } catch (const std::exception&) {
            break;  // no thread to be had: the rest are read here, in order
        }
    }
    first.runGuarded();
    for (std::thread& worker : workers) worker.join();
    for (std::size_t k = started; k < shares.size(); ++k) shares[k]->runGuarded();

    for (const LineCursor& cursor : cursors)
        if (!cursor.failure().empty()) return refuse(cursor.failure(), cursor.lineNumber());
    // The first refusal in file order is the one reading in order would give
    // (the first share's is already in place). A share that stopped short of
    // the next one's first triangle saw a section other than the one counted.
    const auto stoppedEarly = [this](const TriangleShare& share, const Diagnostic* diagnostic, const LineCursor& cursor, bool last) {
        if (share.result == kSmdRead && (last || share.next == share.stopAt)) return kSmdRead;
        trianglesRead_ = share.next;
        if (share.noMemory) return refuseForMemory();
        if (share.result != kSmdRead) {
            if (diagnostic) diagnostic_ = *diagnostic;
            return share.result;
        }
        return refuse("the triangles section changed while it was read", cursor.lineNumber());
    };
    if (const SmdReadResult r = stoppedEarly(first, nullptr, cursor_, false); r != kSmdRead) return r;
    for (std::size_t k = 0; k < shares.size(); ++k)
        if (const SmdReadResult r = stoppedEarly(*shares[k], &diagnostics[k], cursors[k], k + 1 == shares.size()); r != kSmdRead) return r;
    // Each share's links go after the ones before it.
    std::size_t links = mesh_.linkPool.size();
    for (const auto& pool : pools) links += pool.size();
    try {
        mesh_.linkPool.reserve(links);
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for " + std::to_string(links) + " bone links", 0);
    }
    for (std::size_t k = 0; k < shares.size(); ++k) {
        const auto base = static_cast<std::uint32_t>(mesh_.linkPool.size());
        mesh_.linkPool.insert(mesh_.linkPool.end(), pools[k].begin(), pools[k].end());
        for (std::int32_t t = starts[k]->triangle; t < shares[k]->next; ++t)
            for (std::uint32_t& start : mesh_.triangles[static_cast<std::size_t>(t)].linkStart) start += base;
        std::vector<BoneLink>().swap(pools[k]);
    }
    trianglesRead_ = shares.back()->next;
    // This cursor goes on after the section, where the last share stopped.
    if (!cursor_.seek(cursors.back().offset(), cursors.back().lineNumber()))
        return refuse("cannot read the file again: " + cursor_.failure(), 0);
    return kSmdRead;
}

std::vector<ReferenceReader::SinkBlock> ReferenceReader::sinkBlocks(const TriangleSection* section) const
{
    // Blocks start at the marks the counting pass left; a section it did not
    // see as this pass does is one block.
    std::vector<SinkBlock> blocks;
    const bool counted = section && section->first == trianglesRead_;
    const std::int32_t sectionEnd = counted ? section->first + section->count : std::max(trianglesRead_, mesh_.triangleCount);
    blocks.push_back({cursor_.offset(), cursor_.lineNumber(), trianglesRead_, sectionEnd});
    if (counted) {
        for (const TriangleMark& mark : section->marks) {
            if (mark.triangle <= blocks.back().first) continue;
            blocks.back().end = mark.triangle;
            blocks.push_back({mark.offset, mark.line, mark.triangle, sectionEnd});
        }
    }
    return blocks;
}

// One block into the lane's table; what it gave goes to read for the block's
// turn.
void ReferenceReader::readSinkBlock(SinkLane& lane, const SinkBlock& block, bool last, SinkRead& read)
{
    read = SinkRead{};
    read.next = block.first;
    try {
        lane.table.resize(static_cast<std::size_t>(std::max(0, block.end - block.first)));
        lane.repeats.resize(lane.table.size() * 3);
        lane.pool.clear();
    } catch (const std::bad_alloc&) {
        read.why = "not enough memory for " + std::to_string(block.end - block.first) + " triangles";
        return;
    }
    if (!lane.memo) {
        try {
            lane.memo = std::make_unique<VertexLineMemo>();
        } catch (const std::bad_alloc&) {
            // Without one every line is read from its fields.
        }
    }
    lane.cursor->seek(block.offset, block.line);
    TriangleShare share(lane.table, block.first, lane.pool, *lane.cursor, file_, read.diagnostic, materialIndex_, counts_.nodes, block.first);
    if (!last) share.stopAt = block.end;
    share.memo = lane.memo.get();
    share.repeats = lane.repeats.data();
    read.result = share.run();
    read.next = share.next;
    if (!lane.cursor->failure().empty()) {
        // A line too long, a zero byte, a failed read: at its line.
        read.why = lane.cursor->failure();
        read.whyLine = lane.cursor->lineNumber();
    } else if (read.result == kSmdRead && !last && read.next != block.end) {
        // A block that stopped short of the next one's first triangle saw a
        // section other than the one counted.
        read.why = "the triangles section changed while it was read";
        read.whyLine = lane.cursor->lineNumber();
    }
}

SmdReadResult ReferenceReader::readIntoSink(const TriangleSection* section)
{
    // Lanes (threads) take runs of consecutive blocks in turn, read and
    // prepare a run at once, and hand its blocks over strictly in file order,
    // so the sink sees what reading in order gives, and the first refusal in
    // file order is the one given. A run keeps the lines a mesh repeats a few
    // thousand lines on in one lane's memo.
    const std::vector<SinkBlock> blocks = sinkBlocks(section);
    constexpr std::size_t kRun = TriangleSink::kBlocksAhead;
    const std::size_t runs = (blocks.size() + kRun - 1) / kRun;
    const std::size_t laneCount = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(1, model_.readerThreads)), 1, runs);
    std::vector<SinkLane> lanes(laneCount);
    // The first lane reads with this cursor: one buffer fewer to fill.
    lanes[0].cursor = &cursor_;
    for (std::size_t l = 1; l < lanes.size(); ++l)
        if (!lanes[l].own.startAt(cursor_, blocks.front().offset, blocks.front().line))
            return refuse("cannot read the file again: " + cursor_.failure(), 0);

    SinkTurns turns;
    // A lane never ends in an exception (a thread would end the program, and
    // the first lane runs here, with the others still to be joined): a
    // failed allocation stops every lane.
    const auto runLane = [&](std::size_t laneNumber) {
        try {
            readRuns(turns, lanes[laneNumber], laneNumber, blocks);
        } catch (const std::bad_alloc&) {
            {
                std::lock_guard<std::mutex> lock(turns.mutex);
                turns.memoryShort = true;
                turns.stopped = true;
            }
            turns.turnTaken.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t l = 1; l < lanes.size(); ++l) {
        try {
            workers.emplace_back(runLane, l);
        } catch (const std::exception&) {
            break;  // no thread to be had: the runs are read by the lanes there are
        }
    }
    runLane(0);
    for (std::thread& worker : workers) worker.join();
    if (turns.memoryShort) return refuseForMemory();
    if (turns.outcome != kSmdRead) return turns.outcome;
    // This cursor goes on after the section, where the last block stopped.
    if (!turns.lastLane) return refuse("cannot read the file again: " + cursor_.failure(), 0);
    if (turns.lastLane->cursor != &cursor_ && !cursor_.seek(turns.lastLane->cursor->offset(), turns.lastLane->cursor->lineNumber()))
        return refuse("cannot read the file again: " + cursor_.failure(), 0);
    return kSmdRead;
}

// Lanes take the next run of blocks not taken until none is left or the
// reading stopped; a run's blocks are read and prepared before the first of
// them is handed over.
void ReferenceReader::readRuns(SinkTurns& turns, SinkLane& lane, std::size_t laneNumber, const std::vector<SinkBlock>& blocks)
{
    constexpr std::size_t kRun = TriangleSink::kBlocksAhead;
    const std::size_t runs = (blocks.size() + kRun - 1) / kRun;
    TriangleSink& sink = *model_.triangleSink;
    for (std::size_t run = turns.nextRun++; run < runs && !turns.stopped; run = turns.nextRun++) {
        const std::size_t first = run * kRun, end = std::min(blocks.size(), first + kRun);
        std::size_t read = 0;
        for (std::size_t k = first; k < end && !turns.stopped; ++k, ++read) {
            SinkRead& result = lane.run[k - first];
            readSinkBlock(lane, blocks[k], k + 1 == blocks.size(), result);
            if (!result.why.empty() || result.result != kSmdRead) {
                ++read;
                break;  // handed over in its turn as the refusal it is
            }
            const auto count = static_cast<std::size_t>(result.next - blocks[k].first);
            sink.prepare(laneNumber, std::span<const SmdTriangle>(lane.table.data(), count), lane.pool,
                         std::span<const std::int64_t>(lane.repeats.data(), count * 3));
        }
        for (std::size_t k = first; k < first + read; ++k)
            if (!handOver(turns, lane, laneNumber, k, k + 1 == blocks.size())) return;
    }
}

// Block k of the lane's run, in its turn: to the sink, or the refusal it is.
// False when the reading stopped before it.
bool ReferenceReader::handOver(SinkTurns& turns, SinkLane& lane, std::size_t laneNumber, std::size_t k, bool last)
{
    SinkRead& read = lane.run[k % TriangleSink::kBlocksAhead];
    std::unique_lock<std::mutex> lock(turns.mutex);
    turns.turnTaken.wait(lock, [&] { return turns.turn == k || turns.stopped; });
    if (turns.stopped) return false;
    lock.unlock();
    if (read.why.empty() && read.result == kSmdRead) read.why = model_.triangleSink->take(laneNumber);
    lock.lock();
    trianglesRead_ = read.next;
    if (read.result != kSmdRead) {
        diagnostic_ = read.diagnostic;
        turns.outcome = read.result;
    } else if (!read.why.empty()) {
        // Set as it is: this reader's own cursor (the first lane's) may have
        // failed further on, in a block read ahead.
        diagnostic_ = {file_, read.whyLine, read.why};
        turns.outcome = kSmdMalformed;
    }
    if (turns.outcome != kSmdRead) turns.stopped = true;
    if (last) turns.lastLane = &lane;
    ++turns.turn;
    turns.turnTaken.notify_all();
    return !turns.stopped;
}

} // namespace

SmdReadResult readSmdReference(SmdModelRecords& model, SmdMesh& mesh, LineCursor& lines, const std::string& file, ReadSummary& summary)
{
    return runReader<ReferenceReader>(model, mesh, lines, file, summary);
}

} // namespace veskar
