// Reads an SMD animation file into an animation slot: a counting pass for
// nodes and frames, then one full node table per frame; or, for a converter,
// the same lines with the same refusals into six numbers a node a frame. A
// converter's file in the usual order (header, nodes, skeleton) is read in
// one pass, the counts taken as the lines come; anything else, and anything
// to refuse, is read again the two-pass way, which says what is wrong.

#include "import/AnimationKeys.h"
#include "import/SmdReaders.h"
#include "import/SmdSections.h"
#include "system/LargePages.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>

namespace veskar {

namespace {

// Frame tables may describe more nodes than the file has bone lines (a block
// may leave bones out), but not without limit: a node of a frame table takes
// a couple of hundred bytes, and a count per line let a file of blank node
// lines and a few "time" lines ask for thousands of times its own size.
// Real animations hold far fewer table nodes than bytes.
constexpr std::size_t kTableNodesPerByteAllowed = 1;

struct Pose {
    float values[6] = {0, 0, 0, 0, 0, 0};
};

class AnimationReader : public SmdModelReader {
public:
    AnimationReader(SmdModelRecords& model, SmdAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : SmdModelReader(model, lines, file, summary), animation_(&animation)
    {
    }
    AnimationReader(SmdModelRecords& model, AnimationKeys& keys, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : SmdModelReader(model, lines, file, summary), keys_(&keys)
    {
    }

    SmdReadResult run();

private:
    // The one pass: its own state until it succeeds.
    struct OnePass {
        SmdCounts counts;
        std::vector<std::int32_t> parents;
        std::vector<std::string> names;
        std::vector<Pose> pose;
        std::vector<float> blocks;  // six values a node a block, in file order
    };
    std::optional<SmdReadResult> readKeysInOnePass();
    bool readNodesOnce(OnePass& pass);
    bool readBlocksOnce(OnePass& pass);
    bool keepOnePass(OnePass& pass);

    SmdReadResult count();
    bool numberFrames();
    SmdReadResult readNodes();
    SmdReadResult readSkeleton();
    bool allocate();
    SmdReadResult finish();
    void setKey(std::int32_t frame, std::size_t node, const float* values);
    void fillLeftOutBones();

    // One of the two is where the frames go.
    SmdAnimation* animation_ = nullptr;
    AnimationKeys* keys_ = nullptr;
    SmdCounts counts_;
    std::vector<std::int32_t> frameOfBlock_;
    std::vector<std::int32_t> parents_;
    std::vector<std::string> names_;
    std::vector<bool> given_;   // frame x node: a bone line of the frame's block set it
    std::size_t blocksRead_ = 0;
};

bool AnimationReader::numberFrames()
{
    const SmdCounts& counts = counts_;
    const auto frames = static_cast<std::int32_t>(counts.frameNumbers.size());
    std::vector<bool> seen(counts.frameNumbers.size(), false);
    bool distinctInRange = true;
    for (std::int32_t n : counts.frameNumbers) {
        if (n < 0 || n >= frames || seen[static_cast<std::size_t>(n)]) {
            distinctInRange = false;
            break;
        }
        seen[static_cast<std::size_t>(n)] = true;
    }
    if (distinctInRange) {
        frameOfBlock_ = counts.frameNumbers;
        return true;
    }
    // Exporters that start at another number or skip some still count upwards.
    for (std::size_t i = 1; i < counts.frameNumbers.size(); ++i)
        if (counts.frameNumbers[i] <= counts.frameNumbers[i - 1]) return false;
    frameOfBlock_.resize(counts.frameNumbers.size());
    for (std::size_t i = 0; i < frameOfBlock_.size(); ++i) frameOfBlock_[i] = static_cast<std::int32_t>(i);
    return true;
}

SmdReadResult AnimationReader::count()
{
    SmdCounts& counts = counts_;
    model_.nodeCount = model_.frameCount = model_.materialCount = model_.triangleCount = 0;
    if (!readSmdHeader(cursor_, model_.token, model_.headerValue))
        return refuseAs(kSmdNotSmd, cursor_.lineNumber(), "the first line is not \"version 1\"");
    countSmdSections(cursor_, counts, model_.materialNames);
    if (const SmdReadResult r = checkCursor(); r != kSmdRead) return r;
    model_.nodeCount = counts.nodes.count();
    model_.frameCount = counts.frameCount;
    model_.materialCount = counts.materialCount;
    model_.triangleCount = counts.triangleCount;
    summary_.counted = true;
    if (model_.triangleCount > 1)
        return refuseAs(kSmdWrongKind, 0, "the file has " + std::to_string(model_.triangleCount) + " triangles; an animation has at most one");
    if (model_.animationCount >= kModelSlots) return refuseFullModel(kSmdNoFreeSlot, kModelSlots, "animations");
    if (counts.frameLineWithoutNumber) return refuse("a \"time\" line needs a frame number", counts.frameLineWithoutNumber);
    if (model_.nodeCount <= 0) return refuse("the file has no nodes", 0);
    // Where the frames should have been: the skeleton, or the end of a file
    // cut short before one.
    if (model_.frameCount <= 0 && counts.skeletonLine) return refuse("the skeleton has no \"time\" line", counts.skeletonLine);
    if (model_.frameCount <= 0) return refuse("the file ends without a skeleton section", cursor_.lineNumber());
    const std::size_t tableNodes = static_cast<std::size_t>(model_.nodeCount) * static_cast<std::size_t>(model_.frameCount);
    if (tableNodes > cursor_.size() * kTableNodesPerByteAllowed)
        return refuse(std::to_string(model_.frameCount) + " frames of " + std::to_string(model_.nodeCount) +
                          " nodes are far more than a file of " + std::to_string(cursor_.size()) + " bytes describes",
                      0);
    if (!numberFrames()) return refuse("the frame numbers are neither distinct and below the frame count nor increasing", 0);
    return kSmdRead;
}

SmdReadResult AnimationReader::run()
{
    if (keys_) {
        if (const std::optional<SmdReadResult> r = readKeysInOnePass()) return *r;
        counts_ = SmdCounts{};
        if (!cursor_.rewind()) return refuse("cannot read the file again: " + cursor_.failure(), 0);
    }
    if (const SmdReadResult r = count(); r != kSmdRead) return r;
    if (!allocate()) return refuse("not enough memory for the frame tables", 0);

    parents_.assign(static_cast<std::size_t>(model_.nodeCount), -1);
    names_.assign(static_cast<std::size_t>(model_.nodeCount), std::string());

    if (!cursor_.rewind()) return refuse("cannot read the file again: " + cursor_.failure(), 0);
    std::string token;
    std::int32_t value = 0;
    readSmdHeader(cursor_, token, value);
    std::string_view line;
    bool skeletonSeen = false;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        SmdReadResult r = kSmdRead;
        if (equalsIgnoringCase(word, "nodes")) {
            if (skeletonSeen) return refuse("the nodes section must come before the skeleton");
            r = readNodes();
        } else if (equalsIgnoringCase(word, "skeleton")) {
            skeletonSeen = true;
            r = readSkeleton();
        }
        if (r != kSmdRead) return r;
    }
    if (const SmdReadResult r = checkCursor(); r != kSmdRead) return r;
    return finish();
}

// Nothing when the two passes have to read the file (the file is then read
// again from its start); a refusal when its lines ended early, as the
// counting pass would have found at the same line.
std::optional<SmdReadResult> AnimationReader::readKeysInOnePass()
{
    std::string token;
    std::int32_t headerValue = 0;
    const bool header = readSmdHeader(cursor_, token, headerValue);
    OnePass pass;
    bool nodesRead = false, skeletonRead = false;
    bool usual = header && model_.animationCount < kModelSlots;
    std::string_view line;
    try {
        while (usual && cursor_.next(line)) {
            const std::string_view word = firstWord(line);
            if (equalsIgnoringCase(word, "nodes")) {
                usual = !nodesRead && !skeletonRead && readNodesOnce(pass);
                nodesRead = true;
            } else if (equalsIgnoringCase(word, "skeleton")) {
                usual = nodesRead && readBlocksOnce(pass);
                skeletonRead = true;
            } else if (equalsIgnoringCase(word, "triangles")) {
                usual = false;
            }
        }
    } catch (const std::bad_alloc&) {
        usual = false;  // the two passes say how much was asked for
    }
    if (!cursor_.failure().empty()) {
        model_.nodeCount = model_.frameCount = model_.materialCount = model_.triangleCount = 0;
        model_.token = token;
        model_.headerValue = headerValue;
        return header ? checkCursor() : refuseAs(kSmdNotSmd, cursor_.lineNumber(), "the first line is not \"version 1\"");
    }
    if (!usual || !skeletonRead || !keepOnePass(pass)) return std::nullopt;
    model_.token = token;
    model_.headerValue = headerValue;
    return kSmdRead;
}

// The nodes section: its lines counted as the counting pass counts them, then
// read as the reading pass reads them.
bool AnimationReader::readNodesOnce(OnePass& pass)
{
    std::vector<std::string> lines;
    std::vector<std::int32_t> numbers;
    std::string_view line;
    while (cursor_.next(line) && !firstWordIs(line, "end")) {
        FieldScanner scan(line);
        std::int32_t number = 0;
        if (scan.readInt(number) == ScanStatus::Ok) numbers.push_back(number);
        lines.emplace_back(line);
    }
    pass.counts.nodes.build(numbers);
    const auto nodes = static_cast<std::size_t>(std::max(0, pass.counts.nodes.count()));
    if (nodes == 0) return false;
    pass.parents.assign(nodes, -1);
    pass.names.assign(nodes, std::string());
    pass.pose.assign(nodes, Pose{});
    for (const std::string& text : lines) {
        if (firstWord(text).empty()) continue;
        NodeLine node;
        if (!checkNodeLine(text, pass.counts.nodes, node).empty()) return false;
        pass.parents[static_cast<std::size_t>(node.number)] = node.parent;
        pass.names[static_cast<std::size_t>(node.number)].assign(node.name);
    }
    return true;
}

// A skeleton section's blocks, each the pose after it in file order.
bool AnimationReader::readBlocksOnce(OnePass& pass)
{
    const std::size_t nodes = pass.pose.size();
    const auto keep = [&] {
        for (const Pose& p : pass.pose) pass.blocks.insert(pass.blocks.end(), p.values, p.values + AnimationKeys::kValuesPerKey);
    };
    std::string_view line;
    bool inBlock = false;
    std::uint64_t firstBlockAt = 0;
    while (cursor_.next(line)) {
        const bool end = firstWordIs(line, "end");
        const bool time = !end && firstWordIs(line, "time");
        if ((end || time) && inBlock) {
            keep();
            inBlock = false;
        }
        if (end) return true;
        if (time) {
            FieldScanner scan(line);
            std::string_view skip;
            scan.readWord(skip);
            std::int32_t number = 0;
            if (scan.readInt(number) != ScanStatus::Ok) return false;
            std::vector<std::int32_t>& frames = pass.counts.frameNumbers;
            frames.push_back(number);
            if (frames.size() * nodes > cursor_.size() * kTableNodesPerByteAllowed) return false;
            // Room for as many blocks as the rest of the file holds, by the first.
            if (frames.size() == 1) firstBlockAt = cursor_.offset();
            if (frames.size() == 2 && cursor_.offset() > firstBlockAt) {
                const std::uint64_t blocks = std::min(cursor_.size() / (cursor_.offset() - firstBlockAt) + 2, cursor_.size() / nodes + 1);
                reserveWithLargePages(pass.blocks, static_cast<std::size_t>(blocks) * nodes * AnimationKeys::kValuesPerKey);
            }
            inBlock = true;
            continue;
        }
        if (!inBlock) continue;
        // A blank line is never plain: it is looked for only after the plain read.
        BoneLine bone;
        if (!(cursor_.slackAfter(line) && readPlainBoneLine(line, pass.counts.nodes, bone))) {
            if (firstWord(line).empty()) continue;
            if (scanBoneLine(line, pass.counts.nodes, bone) != BoneScan::Ok) return false;
        }
        std::copy(bone.values, bone.values + 6, pass.pose[static_cast<std::size_t>(bone.number)].values);
    }
    if (inBlock) keep();
    return true;
}

// The counting pass's checks on what the one pass found, then the keys.
bool AnimationReader::keepOnePass(OnePass& pass)
{
    const auto frames = static_cast<std::int32_t>(pass.counts.frameNumbers.size());
    const auto nodes = static_cast<std::int32_t>(pass.pose.size());
    if (frames <= 0) return false;
    counts_.frameNumbers = pass.counts.frameNumbers;
    if (!numberFrames()) return false;
    std::vector<SkeletonNode> skeleton(pass.parents.size());
    for (std::size_t n = 0; n < skeleton.size(); ++n) skeleton[n].parent = pass.parents[n];
    std::int32_t bad = 0;
    if (!composeWorldMatrices(skeleton, bad)) return false;

    // A bone a block leaves out holds the previous frame's pose, which the
    // pose carried from block to block is only when the blocks stand in
    // frame order; files listing frames in another order are read again.
    for (std::size_t b = 0; b < frameOfBlock_.size(); ++b)
        if (frameOfBlock_[b] != static_cast<std::int32_t>(b)) return false;
    keys_->clear();
    keys_->values = std::move(pass.blocks);
    keys_->frameCount = frames;
    keys_->nodeCount = nodes;
    keys_->names = std::move(pass.names);
    keys_->parents = std::move(pass.parents);
    model_.nodeCount = nodes;
    model_.frameCount = frames;
    model_.materialCount = model_.triangleCount = 0;
    summary_.counted = true;
    return true;
}

bool AnimationReader::allocate()
{
    try {
        given_.assign(static_cast<std::size_t>(model_.frameCount) * static_cast<std::size_t>(model_.nodeCount), false);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (animation_) return animation_->allocate(model_.frameCount, model_.nodeCount);
    keys_->clear();
    try {
        keys_->values.reserve(static_cast<std::size_t>(model_.frameCount) * static_cast<std::size_t>(model_.nodeCount) * AnimationKeys::kValuesPerKey);
        preferLargePages(keys_->values);
        keys_->values.assign(static_cast<std::size_t>(model_.frameCount) * static_cast<std::size_t>(model_.nodeCount) * AnimationKeys::kValuesPerKey,
                             0.0f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    keys_->frameCount = model_.frameCount;
    keys_->nodeCount = model_.nodeCount;
    return true;
}

SmdReadResult AnimationReader::finish()
{
    fillLeftOutBones();
    if (keys_) {
        // The parents are checked for a loop as the tables' first frame is.
        std::vector<SkeletonNode> skeleton(parents_.size());
        for (std::size_t n = 0; n < skeleton.size(); ++n) skeleton[n].parent = parents_[n];
        if (const SmdReadResult r = composeWorld(skeleton); r != kSmdRead) return r;
        keys_->names = std::move(names_);
        keys_->parents = std::move(parents_);
        return kSmdRead;
    }
    for (std::int32_t f = 0; f < animation_->frameCount; ++f) {
        auto frame = animation_->frame(f);
        for (std::size_t n = 0; n < frame.size(); ++n) {
            frame[n].parent = parents_[n];
            frame[n].name = names_[n];
        }
        // Every frame has the same parents: without matrices one check finds a loop.
        if (!model_.buildPoseMatrices && f > 0) continue;
        if (const SmdReadResult r = composeWorld(frame); r != kSmdRead) return r;
    }
    return kSmdRead;
}

SmdReadResult AnimationReader::readNodes()
{
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) return kSmdRead;
        if (word.empty()) continue;
        NodeLine node;
        if (const SmdReadResult r = readNodeLine(line, counts_.nodes, node); r != kSmdRead) return r;
        // A number listed again is the same node; its later line names it.
        parents_[static_cast<std::size_t>(node.number)] = node.parent;
        names_[static_cast<std::size_t>(node.number)].assign(node.name);
    }
    return kSmdRead;
}

void AnimationReader::setKey(std::int32_t frame, std::size_t node, const float* values)
{
    if (keys_) {
        const std::size_t at = (static_cast<std::size_t>(frame) * static_cast<std::size_t>(keys_->nodeCount) + node) * AnimationKeys::kValuesPerKey;
        std::copy(values, values + AnimationKeys::kValuesPerKey, keys_->values.data() + at);
        return;
    }
    SkeletonNode& key = animation_->frame(frame)[node];
    std::copy(values, values + 3, key.position);
    std::copy(values + 3, values + 6, key.rotation);
}

// A bone a frame's block leaves out holds its pose of the frame before (the
// first frame's: zero), taken in frame order, not in the order the blocks
// stand in the file: an exporter's file means the same animation whichever
// order it lists its frames in.
void AnimationReader::fillLeftOutBones()
{
    const auto nodes = static_cast<std::size_t>(model_.nodeCount);
    for (std::int32_t f = 0; f < model_.frameCount; ++f) {
        const std::size_t row = static_cast<std::size_t>(f) * nodes;
        for (std::size_t n = 0; n < nodes && f > 0; ++n) {
            if (given_[row + n]) continue;
            if (keys_) {
                const auto before = keys_->key(f - 1, static_cast<std::int32_t>(n));
                setKey(f, n, before.data());
            } else {
                const SkeletonNode& before = animation_->frame(f - 1)[n];
                const float values[6] = {before.position[0], before.position[1], before.position[2],
                                         before.rotation[0], before.rotation[1], before.rotation[2]};
                setKey(f, n, values);
            }
        }
        if (animation_ && model_.buildPoseMatrices)
            for (SkeletonNode& key : animation_->frame(f)) key.setPose(key.position[0], key.position[1], key.position[2], key.rotation[0], key.rotation[1], key.rotation[2]);
    }
}

SmdReadResult AnimationReader::readSkeleton()
{
    // A frame block runs from its "time" line to the next "time" or "end".
    std::string_view line;
    bool inBlock = false;
    std::int32_t frame = 0;
    while (cursor_.next(line)) {
        const bool end = firstWordIs(line, "end");
        const bool time = !end && firstWordIs(line, "time");
        if (end) return kSmdRead;
        if (time) {
            if (blocksRead_ >= frameOfBlock_.size()) return refuse("a \"time\" line outside the skeleton the counting pass saw");
            frame = frameOfBlock_[blocksRead_++];
            inBlock = true;
            continue;
        }
        if (!inBlock || firstWord(line).empty()) continue;
        BoneLine bone;
        if (const SmdReadResult r = readBoneLine(line, counts_.nodes, bone); r != kSmdRead) return r;
        const auto node = static_cast<std::size_t>(bone.number);
        setKey(frame, node, bone.values);
        given_[static_cast<std::size_t>(frame) * static_cast<std::size_t>(model_.nodeCount) + node] = true;
    }
    return kSmdRead;
}

} // namespace

SmdReadResult readSmdAnimation(SmdModelRecords& model, SmdAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary)
{
    return runReader<AnimationReader>(model, animation, lines, file, summary);
}

SmdReadResult readSmdAnimationKeys(SmdModelRecords& model, AnimationKeys& keys, LineCursor& lines, const std::string& file, ReadSummary& summary)
{
    return runReader<AnimationReader>(model, keys, lines, file, summary);
}

} // namespace veskar
