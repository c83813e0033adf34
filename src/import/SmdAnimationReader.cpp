// Reads an SMD animation file into an animation slot: a counting pass for
// nodes and frames, then one full node table per frame; or, for a converter,
// the same lines with the same refusals into six numbers a node a frame.

#include "import/AnimationKeys.h"
#include "import/SmdReaders.h"
#include "import/SmdSections.h"
#include "platform/LargePages.h"

#include <algorithm>
#include <new>
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
    AnimationReader(SmdModel& model, SmdAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : SmdModelReader(model, lines, file, summary), animation_(&animation)
    {
    }
    AnimationReader(SmdModel& model, AnimationKeys& keys, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : SmdModelReader(model, lines, file, summary), keys_(&keys)
    {
    }

    SmdReadResult run();

private:
    SmdReadResult count();
    bool numberFrames();
    SmdReadResult readNodes();
    SmdReadResult readSkeleton();
    bool allocate();
    SmdReadResult finish();
    void storeBlock(std::int32_t frame);

    // One of the two is where the frames go.
    SmdAnimation* animation_ = nullptr;
    AnimationKeys* keys_ = nullptr;
    SmdCounts counts_;
    std::vector<std::int32_t> frameOfBlock_;
    std::vector<std::int32_t> parents_;
    std::vector<std::string> names_;
    std::vector<Pose> pose_;   // the pose being built; bones a block leaves out keep the previous one
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
    if (model_.frameCount <= 0) return refuse("the skeleton has no \"time\" line", 0);
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
    if (const SmdReadResult r = count(); r != kSmdRead) return r;
    if (!allocate()) return refuse("not enough memory for the frame tables", 0);

    parents_.assign(static_cast<std::size_t>(model_.nodeCount), -1);
    names_.assign(static_cast<std::size_t>(model_.nodeCount), std::string());
    pose_.assign(static_cast<std::size_t>(model_.nodeCount), Pose{});

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

bool AnimationReader::allocate()
{
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

void AnimationReader::storeBlock(std::int32_t frame)
{
    if (keys_) {
        float* out = keys_->values.data() + static_cast<std::size_t>(frame) * pose_.size() * AnimationKeys::kValuesPerKey;
        for (const Pose& p : pose_) out = std::copy(p.values, p.values + AnimationKeys::kValuesPerKey, out);
        return;
    }
    auto nodes = animation_->frame(frame);
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const float* v = pose_[n].values;
        if (model_.buildPoseMatrices) {
            nodes[n].setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
        } else {
            std::copy(v, v + 3, nodes[n].position);
            std::copy(v + 3, v + 6, nodes[n].rotation);
        }
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
        if ((end || time) && inBlock) {
            storeBlock(frame);
            inBlock = false;
        }
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
        std::copy(bone.values, bone.values + 6, pose_[static_cast<std::size_t>(bone.number)].values);
    }
    if (inBlock) storeBlock(frame);
    return kSmdRead;
}

} // namespace

SmdReadResult readSmdAnimation(SmdModel& model, SmdAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary)
{
    return runReader<AnimationReader>(model, animation, lines, file, summary);
}

SmdReadResult readSmdAnimationKeys(SmdModel& model, AnimationKeys& keys, LineCursor& lines, const std::string& file, ReadSummary& summary)
{
    return runReader<AnimationReader>(model, keys, lines, file, summary);
}

} // namespace veskar
