// Reads an SMD animation file into the next animation slot: a counting pass for
// nodes and frames, then one full node table per frame.

#include "import/ConsoleLog.h"
#include "import/SmdModel.h"
#include "import/SmdSections.h"
#include "platform/Shell.h"

#include <algorithm>
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

class AnimationReader {
public:
    AnimationReader(SmdModel& model, SmdAnimation& animation, LineCursor& lines, const std::string& file)
        : model_(model), animation_(animation), cursor_(lines), file_(file)
    {
    }

    int run();

private:
    int refuse(const std::string& what, long line)
    {
        model_.diagnostic = {file_, line, what};
        return kSmdMalformed;
    }
    int refuse(const std::string& what) { return refuse(what, cursor_.lineNumber()); }
    bool numberFrames(const SmdCounts& counts);
    int readNodes();
    int readSkeleton();
    void storeBlock(std::int32_t frame);

    SmdModel& model_;
    SmdAnimation& animation_;
    LineCursor& cursor_;
    const std::string& file_;
    std::vector<std::int32_t> frameOfBlock_;
    std::vector<std::int32_t> parents_;
    std::vector<std::string> names_;
    std::vector<Pose> pose_;   // the pose being built; bones a block leaves out keep the previous one
    std::size_t blocksRead_ = 0;
};

bool AnimationReader::numberFrames(const SmdCounts& counts)
{
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

int AnimationReader::run()
{
    model_.nodeCount = model_.frameCount = model_.materialCount = model_.triangleCount = 0;
    if (!readSmdHeader(cursor_, model_.token, model_.headerValue)) {
        const std::string& failure = cursor_.failure();
        model_.diagnostic = {file_, cursor_.lineNumber(), failure.empty() ? "the first line is not \"version 1\"" : failure};
        return kSmdNotSmd;
    }
    SmdCounts counts;
    countSmdSections(cursor_, counts, model_.materialNames);
    if (!cursor_.failure().empty()) return refuse(cursor_.failure());
    model_.nodeCount = counts.nodeCount;
    model_.frameCount = counts.frameCount;
    model_.materialCount = counts.materialCount;
    model_.triangleCount = counts.triangleCount;
    consoleLog().print("[Node] %d\n", model_.nodeCount);
    consoleLog().print("[Time] %d\n", model_.frameCount);
    if (model_.triangleCount > 1) {
        model_.diagnostic = {file_, 0, "the file has " + std::to_string(model_.triangleCount) + " triangles; an animation has at most one"};
        return kSmdWrongKind;
    }
    if (model_.animationCount >= kModelSlots) {
        model_.diagnostic = {file_, 0, "this model already holds " + std::to_string(kModelSlots) + " animations"};
        return kSmdNoFreeSlot;
    }
    if (counts.frameLineWithoutNumber) return refuse("a \"time\" line needs a frame number", counts.frameLineWithoutNumber);
    if (model_.nodeCount <= 0) return refuse("the file has no nodes", 0);
    if (model_.frameCount <= 0) return refuse("the skeleton has no \"time\" line", 0);
    const std::size_t tableNodes = static_cast<std::size_t>(model_.nodeCount) * static_cast<std::size_t>(model_.frameCount);
    if (tableNodes > cursor_.size() * kTableNodesPerByteAllowed)
        return refuse(std::to_string(model_.frameCount) + " frames of " + std::to_string(model_.nodeCount) +
                          " nodes are far more than a file of " + std::to_string(cursor_.size()) + " bytes describes",
                      0);
    if (!numberFrames(counts)) return refuse("the frame numbers are neither distinct and below the frame count nor increasing", 0);
    if (!animation_.allocate(model_.frameCount, model_.nodeCount)) return refuse("not enough memory for the frame tables", 0);

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
        int r = kSmdRead;
        if (equalsIgnoringCase(word, "nodes")) {
            if (skeletonSeen) return refuse("the nodes section must come before the skeleton");
            r = readNodes();
        } else if (equalsIgnoringCase(word, "skeleton")) {
            skeletonSeen = true;
            r = readSkeleton();
        }
        if (r != kSmdRead) return r;
    }
    if (!cursor_.failure().empty()) return refuse(cursor_.failure());

    for (std::int32_t f = 0; f < animation_.frameCount; ++f) {
        auto frame = animation_.frame(f);
        for (std::size_t n = 0; n < frame.size(); ++n) {
            frame[n].parent = parents_[n];
            frame[n].name = names_[n];
        }
        // Every frame has the same parents: without matrices one check finds a loop.
        if (!model_.buildPoseMatrices && f > 0) continue;
        std::int32_t bad = 0;
        if (!composeWorldMatrices(frame, bad)) return refuse("the parents of node " + std::to_string(bad) + " form a loop", 0);
    }
    if (model_.buildPoseMatrices) animation_.applyAxis(model_.axisMatrix);
    return kSmdRead;
}

int AnimationReader::readNodes()
{
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) return kSmdRead;
        if (word.empty()) continue;
        std::int32_t number = 0, parent = 0;
        std::string_view name;
        if (!scanNodeLine(line, number, name, parent)) return refuse("a node line needs a number, a name in double quotes and a parent number");
        if (number < 0 || number >= model_.nodeCount)
            return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(model_.nodeCount - 1));
        if (parent < -1 || parent >= model_.nodeCount) return refuse("parent number " + std::to_string(parent) + " is neither -1 nor a node number");
        parents_[static_cast<std::size_t>(number)] = parent;
        names_[static_cast<std::size_t>(number)].assign(name);
    }
    return kSmdRead;
}

void AnimationReader::storeBlock(std::int32_t frame)
{
    auto nodes = animation_.frame(frame);
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

int AnimationReader::readSkeleton()
{
    // A frame block runs from its "time" line to the next "time" or "end".
    std::string_view line;
    bool inBlock = false;
    std::int32_t frame = 0;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        const bool end = equalsIgnoringCase(word, "end");
        const bool time = equalsIgnoringCase(word, "time");
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
        if (!inBlock || word.empty()) continue;
        std::int32_t number = 0;
        float v[6];
        if (!scanBoneLine(line, number, v)) return refuse("a bone line needs a node number and six numbers");
        if (number < 0 || number >= model_.nodeCount)
            return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(model_.nodeCount - 1));
        std::copy(v, v + 6, pose_[static_cast<std::size_t>(number)].values);
    }
    if (inBlock) storeBlock(frame);
    return kSmdRead;
}

} // namespace

int SmdModel::readAnimation(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readAnimation(lines, displayName);
}

int SmdModel::readAnimation(LineCursor& lines, const std::string& displayName)
{
    diagnostic.clear();
    SmdAnimation scratch;
    SmdAnimation& slot = animationCount < kModelSlots ? animations[static_cast<std::size_t>(animationCount)] : scratch;
    AnimationReader reader(*this, slot, lines, displayName);
    const int r = reader.run();
    if (r != kSmdRead) {
        if (r == kSmdMalformed) {
            slot.release();
            slot.frameCount = slot.nodeCount = 0;
        }
        return r;
    }
    ++animationCount;
    hasAnimation = true;
    return kSmdRead;
}

namespace {

bool reportAnimation(SmdModel& model, int r)
{
    switch (r) {
    case kSmdRead: return true;
    case kSmdWrongKind: showMessageBox(refusalText("Animation 파일이 아닙니다!!", model.diagnostic).c_str(), "Error"); return false;
    case kSmdNoFreeSlot: showMessageBox(refusalText("모델 슬롯이 가득 찼습니다!!", model.diagnostic).c_str(), "Error"); return false;
    default: showMessageBox(refusalText("SMD 파일이 아닙니다!!", model.diagnostic).c_str(), "Error"); return false;
    }
}

} // namespace

bool SmdModel::loadAnimationFromMemory(std::string_view text, const std::string& displayName)
{
    return reportAnimation(*this, readAnimation(text, displayName));
}

bool SmdModel::loadAnimation(const std::string& path)
{
    LineCursor lines;
    std::string reason;
    diagnostic.clear();
    if (!lines.openFile(path, reason)) {
        diagnostic = {path, 0, "cannot open: " + reason};
        return false;
    }
    return reportAnimation(*this, readAnimation(lines, path));
}

} // namespace veskar
