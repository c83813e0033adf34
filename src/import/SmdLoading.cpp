// The steps around the SMD readers: reading into the next slot, posing and
// uploading what was read, and what a refusal shows.

#include "import/AnimationFit.h"
#include "import/AnimationKeys.h"
#include "import/ConsoleLog.h"
#include "import/SmdMeshSetup.h"
#include "import/SmdReaders.h"
#include "gpu/Device.h"

#include <set>
#include <string>

namespace veskar {

namespace {

enum class SmdKind { Reference, Animation };

// The system's message for a refused SMD file.
bool reportSmdRead(SmdReadResult r, const Diagnostic& diagnostic, SmdKind kind)
{
    switch (r) {
    case kSmdRead: return true;
    case kSmdWrongKind: return showRefusal(kind == SmdKind::Reference ? "Reference 파일이 아닙니다!!" : "Animation 파일이 아닙니다!!", diagnostic);
    case kSmdNoFreeSlot: return showRefusal(kNoFreeSlotText, diagnostic);
    case kSmdNodesDiffer: return showRefusal(kNodesDifferText, diagnostic);
    // A file that is SMD but has a line that cannot be used is not called "not
    // an SMD file": the box says what is wrong, and where.
    case kSmdMalformed: return showDiagnostic(diagnostic);
    case kSmdNotSmd: break;
    }
    return showRefusal("SMD 파일이 아닙니다!!", diagnostic);
}

// A read animation onto the model's first mesh, by name where their nodes
// differ (see AnimationFit.h); kSmdNodesDiffer when too few match.
SmdReadResult fitOntoMesh(SmdModel& model, SmdAnimation& animation, const std::string& displayName)
{
    // An animation read without a reference (as the converter reads one) is
    // kept as the file numbers it.
    if (!model.hasMesh || model.meshCount <= 0) return kSmdRead;
    const AnimationFitting fitting = fitAnimationByName(animation, std::span<const SmdNode>(model.meshes[0].nodes), model.buildPoseMatrices);
    switch (fitting.fit) {
    case AnimationFit::SameNodes: break;
    case AnimationFit::ByName: consoleLog().print("%s\n", fitting.report.c_str()); break;
    case AnimationFit::TooFewMatch:
    case AnimationFit::NoMemory:
        model.diagnostic = {displayName, 0, fitting.report};
        return fitting.fit == AnimationFit::TooFewMatch ? kSmdNodesDiffer : kSmdMalformed;
    }
    return kSmdRead;
}

// One console line per texture file, each file once though several runs of a
// material name it; a stand-in for a missing file comes from no file.
void reportTextures(const SmdMesh& mesh)
{
    std::set<std::string> told;
    for (std::size_t j = 0; j < mesh.textures.size() && j < mesh.texturePaths.size(); ++j) {
        const std::string& path = mesh.texturePaths[j];
        if (!told.insert(path).second) continue;
        const Texture* texture = mesh.textures[j];
        if (texture && !texture->sourcePath.empty()) consoleLog().print("[Texture] %s\n", path.c_str());
        else if (texture && !texture->problem.empty()) consoleLog().print("[Texture] refused: %s: %s\n", path.c_str(), texture->problem.c_str());
        else consoleLog().print("[Texture] not found: %s\n", path.c_str());
    }
}

} // namespace

SmdReadResult SmdModel::readReference(LineCursor& lines, const std::string& displayName)
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
    uploadSmdMesh(slot, device, materialCount, modelDirectory, materialNames);
    reportTextures(slot);
    hasMesh = true;
    ++meshCount;
    return kSmdRead;
}

SmdReadResult SmdModel::readAnimation(LineCursor& lines, const std::string& displayName)
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

SmdReadResult SmdModel::readAnimationKeys(LineCursor& lines, const std::string& displayName, AnimationKeys& keys)
{
    ReadSummary summary;
    const SmdReadResult r = readSmdAnimationKeys(*this, keys, lines, displayName, summary);
    if (summary.counted) logAnimationCounts(nodeCount, frameCount);
    if (r != kSmdRead) keys.clear();
    return r;
}

SmdReadResult SmdModel::readReference(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readReference(lines, displayName);
}

SmdReadResult SmdModel::readAnimation(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readAnimation(lines, displayName);
}

bool SmdModel::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    return reportSmdRead(readReference(text, displayName), diagnostic, SmdKind::Reference);
}

bool SmdModel::loadAnimationFromMemory(std::string_view text, const std::string& displayName)
{
    return reportSmdRead(readAnimation(text, displayName), diagnostic, SmdKind::Animation);
}

bool SmdModel::loadAnimationKeysFromMemory(std::string_view text, const std::string& displayName, AnimationKeys& keys)
{
    LineCursor lines(text);
    return reportSmdRead(readAnimationKeys(lines, displayName, keys), diagnostic, SmdKind::Animation);
}

bool SmdModel::loadAnimationKeys(const std::string& path, AnimationKeys& keys)
{
    return loadModelFile<LineCursor>(path, diagnostic, [&](LineCursor& lines) {
        return reportSmdRead(readAnimationKeys(lines, path, keys), diagnostic, SmdKind::Animation);
    });
}

bool SmdModel::loadReference(const std::string& path)
{
    modelDirectory = directoryOf(path);
    return loadModelFile<LineCursor>(path, diagnostic, [&](LineCursor& lines) {
        return reportSmdRead(readReference(lines, path), diagnostic, SmdKind::Reference);
    });
}

bool SmdModel::loadAnimation(const std::string& path)
{
    return loadModelFile<LineCursor>(path, diagnostic, [&](LineCursor& lines) {
        return reportSmdRead(readAnimation(lines, path), diagnostic, SmdKind::Animation);
    });
}

} // namespace veskar
