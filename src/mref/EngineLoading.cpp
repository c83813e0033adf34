// The steps around the engine format readers: reading into a mesh or
// animation built aside (so a refused file leaves the model as it was),
// preparing and uploading what was read, and what a refusal shows.

#include "mref/EngineReaders.h"
#include "import/AnimationFit.h"
#include "gpu/Device.h"
#include "import/ConsoleLog.h"

#include <utility>

namespace veskar {

namespace {

enum class EngineKind { Reference, Animation };

// The system's message for a refused mRef or mAni file.
bool reportEngineRead(EngineReadResult r, const Diagnostic& diagnostic, EngineKind kind)
{
    const bool reference = kind == EngineKind::Reference;
    switch (r) {
    case kEngineRead: return true;
    case kEngineWrongKind: return showRefusal(reference ? "Reference 파일이 아닙니다!!" : "Animation 파일이 아닙니다!!", diagnostic);
    case kEngineNoFreeSlot: return showRefusal(kNoFreeSlotText, diagnostic);
    case kEngineNodeCountDiffers:
        if (!reference) return showRefusal(kNodesDifferText, diagnostic);
        break;
    case kEngineNotOurFile:
    case kEngineMalformed: break;
    }
    return showRefusal(reference ? "mRef 파일이 아닙니다!!" : "mAni 파일이 아닙니다!!", diagnostic);
}

} // namespace

EngineReadResult EngineModel::readReference(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readReference(lines, displayName);
}

EngineReadResult EngineModel::readAnimation(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readAnimation(lines, displayName);
}

EngineReadResult EngineModel::readReference(LineCursor& lines, const std::string& displayName)
{
    EngineMesh mesh;
    ReadSummary summary;
    const EngineReadResult r = readMRef(*this, mesh, lines, displayName, summary);
    if (r != kEngineRead) return r;
    // An exporter takes the vertices as the file wrote them.
    if (prepareForDrawing) prepareEngineMesh(mesh, axisMatrix);
    else fillBonePalette(mesh);
    EngineMesh& slot = meshes[static_cast<std::size_t>(meshCount)];
    slot.release();
    slot = std::move(mesh);
    if (device) {
        if (slot.loadTexture(device, modelDirectory, textureName)) consoleLog().print("[Texture] %s\n", slot.texturePath.c_str());
        else if (slot.texture && !slot.texture->problem.empty())
            consoleLog().print("[Texture] refused: %s: %s\n", slot.texturePath.c_str(), slot.texture->problem.c_str());
        else consoleLog().print("[Texture] not found: %s\n", slot.texturePath.c_str());
    } else {
        slot.texturePath = modelDirectory + textureName;
    }
    hasMesh = true;
    if (slot.createRestBuffer(device) && slot.createBindBuffer(device)) slot.createIndexBuffer(device);
    ++meshCount;
    return kEngineRead;
}

EngineReadResult EngineModel::readAnimation(LineCursor& lines, const std::string& displayName)
{
    EngineAnimation animation;
    ReadSummary summary;
    const EngineReadResult r = readMAni(*this, animation, lines, displayName, summary);
    if (summary.counted) logAnimationCounts(summary.nodeCount, frameCount);
    if (r != kEngineRead) return r;
    if (hasMesh) {
        const AnimationFitting fitting = fitAnimationByName(animation, meshes[0].nodes, true);
        switch (fitting.fit) {
        case AnimationFit::SameNodes: break;
        case AnimationFit::ByName: consoleLog().print("%s\n", fitting.report.c_str()); break;
        case AnimationFit::TooFewMatch:
        case AnimationFit::NoMemory:
            diagnostic = {displayName, 0, fitting.report};
            return fitting.fit == AnimationFit::TooFewMatch ? kEngineNodeCountDiffers : kEngineMalformed;
        }
    }
    animation.applyAxis(axisMatrix);
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

bool EngineModel::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    return reportEngineRead(readReference(text, displayName), diagnostic, EngineKind::Reference);
}

bool EngineModel::loadAnimationFromMemory(std::string_view text, const std::string& displayName)
{
    return reportEngineRead(readAnimation(text, displayName), diagnostic, EngineKind::Animation);
}

bool EngineModel::loadReference(const std::string& path)
{
    modelDirectory = directoryOf(path);
    return loadModelFile<LineCursor>(path, diagnostic, [&](LineCursor& lines) {
        return reportEngineRead(readReference(lines, path), diagnostic, EngineKind::Reference);
    });
}

bool EngineModel::loadAnimation(const std::string& path)
{
    return loadModelFile<LineCursor>(path, diagnostic, [&](LineCursor& lines) {
        return reportEngineRead(readAnimation(lines, path), diagnostic, EngineKind::Animation);
    });
}

} // namespace veskar
