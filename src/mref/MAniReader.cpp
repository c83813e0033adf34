// Reads an mAni file into an animation of an engine model.

#include "mref/EngineFormatScan.h"
#include "mref/EngineReaders.h"

#include <algorithm>

namespace veskar {

namespace {

class MAniReader : public EngineModelReader {
public:
    MAniReader(EngineModelRecords& model, EngineAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : EngineModelReader(model, lines, file, summary), animation_(animation)
    {
    }
    EngineReadResult run();

private:
    EngineReadResult readHeader();
    EngineReadResult readNodes();
    EngineReadResult readFrames();

    EngineAnimation& animation_;
    std::vector<std::int32_t> parents_;
    std::vector<std::string> names_;
    std::int32_t nodeCount_ = 0;   // the file's own
    std::int32_t nodeLines_ = -1;
    std::int32_t blocks_ = -1;
};

EngineReadResult MAniReader::readHeader()
{
    if (const EngineReadResult r = readOpeningLines("ani"); r != kEngineRead) return r;
    const HeaderLine n = readHeaderLine(cursor_, model_.token, model_.headerValue);
    if (const EngineReadResult r = checkCursor(); r != kEngineRead) return r;
    // Onto a mesh the animation brings its own nodes, matched with the mesh's
    // by name once read; onto a model without one its count is the model's.
    const bool given = n == HeaderLine::Ok && equalsIgnoringCase(model_.token, "node");
    if (!given || (!model_.hasMesh && model_.headerValue != model_.nodeCount))
        return refuseAs(kEngineNodeCountDiffers, 3,
                        "the node line says " + (n == HeaderLine::Ok ? std::to_string(model_.headerValue) : std::string("nothing")) +
                            " but the model has " + std::to_string(model_.nodeCount) + " nodes");
    nodeCount_ = model_.headerValue;
    std::string word;
    std::int32_t value = 0;
    if (readHeaderLine(cursor_, word, value) != HeaderLine::Ok) return refuse("the fourth line needs a frame count");
    model_.frameCount = value;
    summary_.nodeCount = nodeCount_;
    summary_.counted = true;
    if (model_.animationCount >= kModelSlots) return refuseFullModel(kEngineNoFreeSlot, kModelSlots, "animations");
    return kEngineRead;
}

EngineReadResult MAniReader::run()
{
    if (const EngineReadResult r = readHeader(); r != kEngineRead) return r;
    if (model_.frameCount <= 0) return refuse("the frame count must be at least 1");
    if (nodeCount_ <= 0) return refuse(model_.hasMesh ? "the node line needs at least one node" : "the model has no nodes to animate", 3);
    const std::size_t remaining = cursor_.remainingLines();
    const std::size_t needed = static_cast<std::size_t>(model_.frameCount) * (static_cast<std::size_t>(nodeCount_) + 1);
    if (needed > remaining)
        return refuse(std::to_string(model_.frameCount) + " frames of " + std::to_string(nodeCount_) + " nodes need " +
                          std::to_string(needed) + " lines but " + std::to_string(remaining) + " follow",
                      4);
    if (!animation_.allocate(model_.frameCount, nodeCount_)) return refuse("not enough memory for the frame tables", 4);
    parents_.assign(static_cast<std::size_t>(nodeCount_), -1);
    names_.assign(static_cast<std::size_t>(nodeCount_), std::string());

    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view w = firstWord(line);
        EngineReadResult r = kEngineRead;
        if (equalsIgnoringCase(w, "nodes")) r = nodeLines_ < 0 ? readNodes() : refuse("a second nodes section");
        else if (equalsIgnoringCase(w, "skeleton")) r = blocks_ < 0 ? readFrames() : refuse("a second skeleton section");
        if (r != kEngineRead) return r;
    }
    if (const EngineReadResult r = checkCursor(); r != kEngineRead) return r;
    if (std::max(nodeLines_, 0) != nodeCount_)
        return refuse("the nodes section has " + std::to_string(std::max(nodeLines_, 0)) + " lines but the node line says " +
                          std::to_string(nodeCount_),
                      0);
    if (std::max(blocks_, 0) != model_.frameCount)
        return refuse("the skeleton has " + std::to_string(std::max(blocks_, 0)) + " frames but the fourth line says " +
                          std::to_string(model_.frameCount),
                      0);
    for (std::int32_t f = 0; f < animation_.frameCount; ++f) {
        auto frame = animation_.frame(f);
        for (std::size_t i = 0; i < frame.size(); ++i) {
            frame[i].parent = parents_[i];
            frame[i].name = names_[i];
        }
        if (const EngineReadResult r = composeWorld(frame); r != kEngineRead) return r;
    }
    return kEngineRead;
}

EngineReadResult MAniReader::readNodes()
{
    return readCountedSection(nodeLines_, nodeCount_, "node", "node", [this](std::string_view line, std::int32_t) {
        NodeLine node;
        const EngineReadResult r = readNodeLine(line, nodeCount_, node);
        if (r == kEngineRead) {
            parents_[static_cast<std::size_t>(node.number)] = node.parent;
            names_[static_cast<std::size_t>(node.number)].assign(node.name);
        }
        return r;
    });
}

EngineReadResult MAniReader::readFrames()
{
    blocks_ = 0;
    std::vector<bool> filled(static_cast<std::size_t>(animation_.frameCount), false);
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) return kEngineRead;
        if (!equalsIgnoringCase(word, "time")) return refuse("a frame starts with a \"time\" line");
        FieldScanner scan(line);
        std::string_view skip;
        scan.readWord(skip);
        std::int32_t frame = 0;
        if (scan.readInt(frame) != ScanStatus::Ok || frame < 0 || frame >= animation_.frameCount)
            return refuse("the frame number must be 0 to " + std::to_string(animation_.frameCount - 1));
        if (filled[static_cast<std::size_t>(frame)]) return refuse("frame " + std::to_string(frame) + " is given twice");
        filled[static_cast<std::size_t>(frame)] = true;
        ++blocks_;
        auto nodes = animation_.frame(frame);
        for (std::int32_t k = 0; k < nodeCount_; ++k) {
            if (!cursor_.next(line)) return refuse("the file ends inside frame " + std::to_string(frame));
            BoneLine bone;
            const BoneScan scan = scanBoneLine(line, nodeCount_, bone);
            if (scan == BoneScan::Short)
                return refuse("frame " + std::to_string(frame) + " has " + std::to_string(k) + " bone lines; the node line says " +
                              std::to_string(nodeCount_));
            if (scan == BoneScan::Outside) return refuse(nodeOutsideText(bone.number, nodeCount_));
            if (scan == BoneScan::NotFinite) return refuse(kNotFiniteText);
            const float* v = bone.values;
            nodes[static_cast<std::size_t>(bone.number)].setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
        }
    }
    return kEngineRead;
}

} // namespace

EngineReadResult readMAni(EngineModelRecords& model, EngineAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary)
{
    return runReader<MAniReader>(model, animation, lines, file, summary);
}

} // namespace veskar
