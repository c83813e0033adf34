// The steps around the SMD readers: reading into the next slot, posing what
// was read, and the system's message for a refusal.

#include "import/AnimationFit.h"
#include "import/AnimationKeys.h"
#include "import/SmdMeshSetup.h"
#include "import/SmdReaders.h"
#include "import/ReaderFrame.h"

#include <string>

namespace veskar {

namespace {

// A read animation onto the model's first mesh, by name where their nodes
// differ (see AnimationFit.h); kSmdNodesDiffer when too few match.
SmdReadResult fitOntoMesh(SmdModelRecords& model, SmdAnimation& animation, const std::string& displayName)
{
    // An animation read without a reference (as the converter reads one) is
    // kept as the file numbers it.
    if (!model.hasMesh || model.meshCount <= 0) return kSmdRead;
    const AnimationFitting fitting = fitAnimationByName(animation, std::span<const SmdNode>(model.meshes[0].nodes), model.buildPoseMatrices);
    if (keepFitting(fitting)) return kSmdRead;
    model.diagnostic = {displayName, 0, fitting.report};
    return fitting.fit == AnimationFit::TooFewMatch ? kSmdNodesDiffer : kSmdMalformed;
}

} // namespace

const char* smdRefusalMessage(SmdReadResult result, bool reference)
{
    switch (result) {
    case kSmdRead:
    case kSmdCannotOpen:
    // A file that is SMD but has a line that cannot be used is not called "not
    // an SMD file": the diagnostic says what is wrong, and where.
    case kSmdMalformed: return nullptr;
    case kSmdWrongKind: return reference ? "Reference 파일이 아닙니다!!" : "Animation 파일이 아닙니다!!";
    case kSmdNoFreeSlot: return kNoFreeSlotText;
    case kSmdNodesDiffer: return kNodesDifferText;
    case kSmdNotSmd: break;
    }
    return "SMD 파일이 아닙니다!!";
}

bool reportSmdRead(SmdReadResult result, const Diagnostic& diagnostic, bool reference)
{
    if (result == kSmdRead) return true;
    if (result == kSmdCannotOpen) return false;
    return showRefusal(smdRefusalMessage(result, reference), diagnostic);
}

SmdReadResult SmdModelRecords::readReference(LineCursor& lines, const std::string& displayName)
{
    SmdMesh scratch;
    SmdMesh& slot = meshCount < kModelSlots ? meshes[static_cast<std::size_t>(meshCount)] : scratch;
    ReadSummary summary;
    SmdReadResult r = readSmdReference(*this, slot, lines, displayName, summary);
    // The bind pose and the axis change close every triangles section.
    if (r == kSmdRead && summary.triangleSection) {
        if (buildPoseMatrices && !computeBindVertices(slot)) {
            diagnostic = {displayName, 0, "not enough memory for the bind vertices"};
            r = kSmdMalformed;
        } else {
            slot.applyAxis(axisMatrix);
        }
    }
    if (r != kSmdRead) {
        slot.release();
        return r;
    }
    setTexturePaths(slot, materialCount, modelDirectory, materialNames);
    hasMesh = true;
    ++meshCount;
    return kSmdRead;
}

SmdReadResult SmdModelRecords::readAnimation(LineCursor& lines, const std::string& displayName)
{
    SmdAnimation scratch;
    SmdAnimation& slot = animationCount < kModelSlots ? animations[static_cast<std::size_t>(animationCount)] : scratch;
    ReadSummary summary;
    const SmdReadResult r = readSmdAnimation(*this, slot, lines, displayName, summary);
    if (summary.counted) logAnimationCounts(nodeCount, frameCount);
    if (r != kSmdRead) {
        if (r == kSmdMalformed) {
            slot.release();
            slot.frameCount = slot.nodeCount = 0;
        }
        return r;
    }
    if (const SmdReadResult fit = fitOntoMesh(*this, slot, displayName); fit != kSmdRead) {
        slot.release();
        slot.frameCount = slot.nodeCount = 0;
        return fit;
    }
    if (buildPoseMatrices) slot.applyAxis(axisMatrix);
    ++animationCount;
    hasAnimation = true;
    return kSmdRead;
}

SmdReadResult SmdModelRecords::readAnimationKeys(LineCursor& lines, const std::string& displayName, AnimationKeys& keys)
{
    ReadSummary summary;
    const SmdReadResult r = readSmdAnimationKeys(*this, keys, lines, displayName, summary);
    if (summary.counted) logAnimationCounts(nodeCount, frameCount);
    if (r != kSmdRead) keys.clear();
    return r;
}

SmdReadResult SmdModelRecords::readReference(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readReference(lines, displayName);
}

SmdReadResult SmdModelRecords::readAnimation(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readAnimation(lines, displayName);
}

SmdReadResult SmdModelRecords::readReferenceFile(const std::string& path)
{
    modelDirectory = directoryOf(path);
    return readModelFile<LineCursor>(path, diagnostic, kSmdCannotOpen, [&](LineCursor& lines) { return readReference(lines, path); });
}

SmdReadResult SmdModelRecords::readAnimationFile(const std::string& path)
{
    return readModelFile<LineCursor>(path, diagnostic, kSmdCannotOpen, [&](LineCursor& lines) { return readAnimation(lines, path); });
}

SmdReadResult SmdModelRecords::readAnimationKeysFile(const std::string& path, AnimationKeys& keys)
{
    return readModelFile<LineCursor>(path, diagnostic, kSmdCannotOpen, [&](LineCursor& lines) { return readAnimationKeys(lines, path, keys); });
}

bool SmdModelRecords::loadReference(const std::string& path) { return reportSmdRead(readReferenceFile(path), diagnostic, true); }

bool SmdModelRecords::loadAnimation(const std::string& path) { return reportSmdRead(readAnimationFile(path), diagnostic, false); }

bool SmdModelRecords::loadAnimationKeys(const std::string& path, AnimationKeys& keys)
{
    return reportSmdRead(readAnimationKeysFile(path, keys), diagnostic, false);
}

bool SmdModelRecords::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    return reportSmdRead(readReference(text, displayName), diagnostic, true);
}

bool SmdModelRecords::loadAnimationFromMemory(std::string_view text, const std::string& displayName)
{
    return reportSmdRead(readAnimation(text, displayName), diagnostic, false);
}

bool SmdModelRecords::loadAnimationKeysFromMemory(std::string_view text, const std::string& displayName, AnimationKeys& keys)
{
    LineCursor lines(text);
    return reportSmdRead(readAnimationKeys(lines, displayName, keys), diagnostic, false);
}

} // namespace veskar
