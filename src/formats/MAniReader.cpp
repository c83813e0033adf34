// Reads an mAni file onto an engine model. The frames are built aside and
// replace the model's animation only once the whole file checked out.

#include "formats/EngineFormatScan.h"
#include "formats/EngineModel.h"
#include "import/ConsoleLog.h"
#include "platform/Shell.h"

#include <utility>

namespace veskar {

namespace {

class MAniReader {
public:
    MAniReader(EngineModel& model, EngineAnimation& animation, LineCursor& lines, const std::string& file)
        : model_(model), animation_(animation), cursor_(lines), file_(file)
    {
    }
    int run();

private:
    // Lines that ended early (a line too long, a zero byte, a failed read)
    // are the reason for whatever the reader then finds wrong.
    int refuse(const std::string& what, long line)
    {
        model_.diagnostic = cursor_.failure().empty() ? Diagnostic{file_, line, what} : Diagnostic{file_, cursor_.lineNumber(), cursor_.failure()};
        return kEngineMalformed;
    }
    int refuse(const std::string& what) { return refuse(what, cursor_.lineNumber()); }
    int readNodes();
    int readFrames();

    EngineModel& model_;
    EngineAnimation& animation_;
    LineCursor& cursor_;
    const std::string& file_;
    std::vector<std::int32_t> parents_;
    std::vector<std::string> names_;
    std::int32_t nodeLines_ = -1;
    std::int32_t blocks_ = -1;
};

int MAniReader::run()
{
    std::string word;
    std::int32_t value = 0;
    const HeaderLine h = readHeaderLine(cursor_, model_.token, model_.headerValue);
    if (h != HeaderLine::Ok || !equalsIgnoringCase(model_.token, "version") || model_.headerValue != 1) {
        model_.diagnostic = cursor_.failure().empty() ? Diagnostic{file_, 1, "the first line is not \"version 1\""}
                                                      : Diagnostic{file_, cursor_.lineNumber(), cursor_.failure()};
        return kEngineNotOurFile;
    }
    std::string_view line;
    const bool second = cursor_.next(line);
    if (!second && !cursor_.failure().empty()) return refuse(cursor_.failure());
    if (!second || !equalsIgnoringCase(firstWord(line), "ani")) {
        model_.diagnostic = {file_, 2, "the second line is not \"ani\""};
        return kEngineWrongKind;
    }
    const HeaderLine n = readHeaderLine(cursor_, model_.token, model_.headerValue);
    if (!cursor_.failure().empty()) return refuse(cursor_.failure());
    if (n != HeaderLine::Ok || !equalsIgnoringCase(model_.token, "node") || model_.headerValue != model_.nodeCount) {
        model_.diagnostic = {file_, 3,
                             "the node line says " + (n == HeaderLine::Ok ? std::to_string(model_.headerValue) : std::string("nothing")) +
                                 " but the model has " + std::to_string(model_.nodeCount) + " nodes"};
        return kEngineNodeCountDiffers;
    }
    const HeaderLine t = readHeaderLine(cursor_, word, value);
    if (t != HeaderLine::Ok) return refuse("the fourth line needs a frame count");
    model_.frameCount = value;
    consoleLog().print("[Node] %d\n", model_.nodeCount);
    consoleLog().print("[Time] %d\n", model_.frameCount);
    if (model_.frameCount <= 0) return refuse("the frame count must be at least 1");
    if (model_.nodeCount <= 0) return refuse("the model has no nodes to animate", 3);
    const std::size_t remaining = cursor_.remainingLines();
    const std::size_t needed = static_cast<std::size_t>(model_.frameCount) * (static_cast<std::size_t>(model_.nodeCount) + 1);
    if (needed > remaining)
        return refuse(std::to_string(model_.frameCount) + " frames of " + std::to_string(model_.nodeCount) + " nodes need " +
                          std::to_string(needed) + " lines but " + std::to_string(remaining) + " follow",
                      4);
    if (!animation_.allocate(model_.frameCount, model_.nodeCount)) return refuse("not enough memory for the frame tables", 4);
    parents_.assign(static_cast<std::size_t>(model_.nodeCount), -1);
    names_.assign(static_cast<std::size_t>(model_.nodeCount), std::string());

    while (cursor_.next(line)) {
        const std::string_view w = firstWord(line);
        int r = kEngineRead;
        if (equalsIgnoringCase(w, "nodes")) r = nodeLines_ < 0 ? readNodes() : refuse("a second nodes section");
        else if (equalsIgnoringCase(w, "skeleton")) r = blocks_ < 0 ? readFrames() : refuse("a second skeleton section");
        if (r != kEngineRead) return r;
    }
    if (!cursor_.failure().empty()) return refuse(cursor_.failure());
    if (std::max(nodeLines_, 0) != model_.nodeCount)
        return refuse("the nodes section has " + std::to_string(std::max(nodeLines_, 0)) + " lines but the node line says " +
                          std::to_string(model_.nodeCount),
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
        std::int32_t bad = 0;
        if (!composeWorldMatrices(frame, bad)) return refuse("the parents of node " + std::to_string(bad) + " form a loop", 0);
    }
    animation_.applyAxis(model_.axisMatrix);
    return kEngineRead;
}

int MAniReader::readNodes()
{
    nodeLines_ = 0;
    std::string_view line;
    while (cursor_.next(line)) {
        if (equalsIgnoringCase(firstWord(line), "end")) return kEngineRead;
        if (++nodeLines_ > model_.nodeCount) return refuse("more node lines than the node line says (" + std::to_string(model_.nodeCount) + ")");
        FieldScanner scan(line);
        std::int32_t number = 0, parent = 0;
        std::string_view name;
        if (scan.readInt(number) != ScanStatus::Ok || !scan.readQuoted(name) || scan.readInt(parent) != ScanStatus::Ok)
            return refuse("a node line needs a number, a name in double quotes and a parent number");
        if (number < 0 || number >= model_.nodeCount)
            return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(model_.nodeCount - 1));
        if (parent < -1 || parent >= model_.nodeCount) return refuse("parent number " + std::to_string(parent) + " is neither -1 nor a node number");
        parents_[static_cast<std::size_t>(number)] = parent;
        names_[static_cast<std::size_t>(number)].assign(name);
    }
    return kEngineRead;
}

int MAniReader::readFrames()
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
        for (std::int32_t k = 0; k < model_.nodeCount; ++k) {
            if (!cursor_.next(line)) return refuse("the file ends inside frame " + std::to_string(frame));
            FieldScanner bone(line);
            std::int32_t number = 0;
            float v[6];
            bool ok = bone.readInt(number) == ScanStatus::Ok;
            for (int i = 0; ok && i < 6; ++i) ok = bone.readFloat(v[i]) == ScanStatus::Ok;
            if (!ok)
                return refuse("frame " + std::to_string(frame) + " has " + std::to_string(k) + " bone lines; the node line says " +
                              std::to_string(model_.nodeCount));
            if (number < 0 || number >= model_.nodeCount)
                return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(model_.nodeCount - 1));
            nodes[static_cast<std::size_t>(number)].setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
        }
    }
    return kEngineRead;
}

} // namespace

int EngineModel::readAnimation(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readAnimation(lines, displayName);
}

int EngineModel::readAnimation(LineCursor& lines, const std::string& displayName)
{
    diagnostic.clear();
    EngineAnimation animation;
    MAniReader reader(*this, animation, lines, displayName);
    const int r = reader.run();
    if (r != kEngineRead) return r;
    EngineAnimation& slot = animations[0];
    // The playback position carries over to the new frames.
    animation.blend = slot.blend;
    animation.currentFrame = slot.currentFrame;
    animation.nextFrame = slot.nextFrame;
    slot.release();
    slot = std::move(animation);
    animationCount = 1;
    hasAnimation = true;
    return kEngineRead;
}

namespace {

bool reportAnimation(EngineModel& model, int r)
{
    switch (r) {
    case kEngineRead: return true;
    case kEngineWrongKind: showMessageBox(refusalText("Animation 파일이 아닙니다!!", model.diagnostic).c_str(), "Error"); return false;
    case kEngineNodeCountDiffers: showMessageBox(refusalText("Node 개수가 다릅니다!!", model.diagnostic).c_str(), "Error"); return false;
    default: showMessageBox(refusalText("mAni 파일이 아닙니다!!", model.diagnostic).c_str(), "Error"); return false;
    }
}

} // namespace

bool EngineModel::loadAnimationFromMemory(std::string_view text, const std::string& displayName)
{
    return reportAnimation(*this, readAnimation(text, displayName));
}

bool EngineModel::loadAnimation(const std::string& path)
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
