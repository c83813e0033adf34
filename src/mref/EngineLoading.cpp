// The steps around the engine format readers: reading into a mesh or
// animation built aside (so a refused file leaves the model as it was),
// preparing what was read, and the system's message for a refusal.

#include "mref/EngineReaders.h"
#include "import/AnimationFit.h"

#include <utility>

namespace veskar {

const char* engineRefusalMessage(EngineReadResult result, bool reference)
{
    switch (result) {
    case kEngineRead:
    case kEngineCannotOpen: return nullptr;
    case kEngineWrongKind: return reference ? "Reference 파일이 아닙니다!!" : "Animation 파일이 아닙니다!!";
    case kEngineNoFreeSlot: return kNoFreeSlotText;
    case kEngineNodeCountDiffers:
        if (!reference) return kNodesDifferText;
        break;
    case kEngineNotOurFile:
    case kEngineMalformed: break;
    }
    return reference ? "mRef 파일이 아닙니다!!" : "mAni 파일이 아닙니다!!";
}

bool reportEngineRead(EngineReadResult result, const Diagnostic& diagnostic, bool reference)
{
    if (result == kEngineRead) return true;
    if (result == kEngineCannotOpen) return false;
    return showRefusal(engineRefusalMessage(result, reference), diagnostic);
}

EngineReadResult EngineModelRecords::readReference(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readReference(lines, displayName);
}

EngineReadResult EngineModelRecords::readAnimation(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readAnimation(lines, displayName);
}

EngineReadResult EngineModelRecords::readReference(LineCursor& lines, const std::string& displayName)
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
    slot.texturePath = modelDirectory + textureName;
    hasMesh = true;
    ++meshCount;
    return kEngineRead;
}

EngineReadResult EngineModelRecords::readAnimation(LineCursor& lines, const std::string& displayName)
{
    EngineAnimation animation;
    ReadSummary summary;
    const EngineReadResult r = readMAni(*this, animation, lines, displayName, summary);
    if (summary.counted) logAnimationCounts(summary.nodeCount, frameCount);
    if (r != kEngineRead) return r;
    if (hasMesh) {
        const AnimationFitting fitting = fitAnimationByName(animation, meshes[0].nodes, true);
        if (!keepFitting(fitting)) {
            diagnostic = {displayName, 0, fitting.report};
            return fitting.fit == AnimationFit::TooFewMatch ? kEngineNodeCountDiffers : kEngineMalformed;
        }
    }
    animation.applyAxis(axisMatrix);
    // Each animation takes the next slot, as an SMD model's do; which one
    // plays is the caller's choice (currentAnimation).
    EngineAnimation& slot = animations[static_cast<std::size_t>(animationCount)];
    slot.release();
    slot = std::move(animation);
    ++animationCount;
    hasAnimation = true;
    return kEngineRead;
}

EngineReadResult EngineModelRecords::readReferenceFile(const std::string& path)
{
    modelDirectory = directoryOf(path);
    return readModelFile<LineCursor>(path, diagnostic, kEngineCannotOpen, [&](LineCursor& lines) { return readReference(lines, path); });
}

EngineReadResult EngineModelRecords::readAnimationFile(const std::string& path)
{
    return readModelFile<LineCursor>(path, diagnostic, kEngineCannotOpen, [&](LineCursor& lines) { return readAnimation(lines, path); });
}

bool EngineModelRecords::loadReference(const std::string& path) { return reportEngineRead(readReferenceFile(path), diagnostic, true); }

bool EngineModelRecords::loadAnimation(const std::string& path) { return reportEngineRead(readAnimationFile(path), diagnostic, false); }

bool EngineModelRecords::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    return reportEngineRead(readReference(text, displayName), diagnostic, true);
}

bool EngineModelRecords::loadAnimationFromMemory(std::string_view text, const std::string& displayName)
{
    return reportEngineRead(readAnimation(text, displayName), diagnostic, false);
}

} // namespace veskar
