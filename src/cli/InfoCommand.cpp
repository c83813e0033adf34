#include "cli/InfoCommand.h"

#include "convert/ModelFileKind.h"
#include "import/AnimationKeys.h"
#include "import/LineCursor.h"
#include "import/SmdSections.h"
#include "import/TextScan.h"
#include "import/TriangleSink.h"
#include "mref/EngineRecords.h"
#include "base/PrintableName.h"

#include <cstdio>
#include <string_view>

namespace veskar {

namespace {

// Triangles read and let go.
class DiscardingSink final : public TriangleSink {
public:
    std::string expect(std::int32_t, std::size_t) override { return {}; }
    void prepare(std::size_t, std::span<const SmdTriangle>, std::span<const BoneLink>, std::span<const std::int64_t>) override {}
    std::string take(std::size_t) override { return {}; }
    void restart() override {}
};

// Every line is read and checked as for a conversion, but the triangles go
// to a sink that keeps none: info holds no model, and leaves welding (and
// its count) to ref.
bool describeSmdReference(const std::string& path, const std::string& name, Diagnostic& diagnostic, const char*& message)
{
    SmdModelRecords model;
    model.buildPoseMatrices = false;
    DiscardingSink sink;
    model.triangleSink = &sink;
    if (const SmdReadResult r = model.readReferenceFile(path); r != kSmdRead) {
        diagnostic = model.diagnostic;
        message = smdRefusalMessage(r, true);
        return false;
    }
    std::printf("%s: SMD reference\n  nodes %d, frames %d, triangles %d, materials %d\n", name.c_str(), model.nodeCount, model.frameCount,
                model.triangleCount, model.materialCount);
    for (const std::string& material : model.materialNames) std::printf("    material %s\n", printableName(material).c_str());
    std::printf("  vertices %d before welding\n", model.triangleCount * 3);
    return true;
}

// Into keys, as ani reads it: six numbers a key, not the viewer's frame tables.
bool describeSmdAnimation(const std::string& path, const std::string& name, Diagnostic& diagnostic, const char*& message)
{
    SmdModelRecords model;
    model.buildPoseMatrices = false;
    AnimationKeys keys;
    if (const SmdReadResult r = model.readAnimationKeysFile(path, keys); r != kSmdRead) {
        diagnostic = model.diagnostic;
        message = smdRefusalMessage(r, false);
        return false;
    }
    std::printf("%s: SMD animation\n  nodes %d, frames %d\n", name.c_str(), model.nodeCount, model.frameCount);
    return true;
}

bool describeMRef(const std::string& path, const std::string& name, Diagnostic& diagnostic, const char*& message)
{
    EngineModelRecords model;
    if (const EngineReadResult r = model.readReferenceFile(path); r != kEngineRead) {
        diagnostic = model.diagnostic;
        message = engineRefusalMessage(r, true);
        return false;
    }
    const EngineMesh& mesh = model.meshes[0];
    std::printf("%s: mRef\n  nodes %d, vertices %d, triangles %d, texture %s\n", name.c_str(), model.nodeCount, model.vertexCount,
                model.triangleCount, printableName(model.textureName).c_str());
    std::printf("  root bone %s, hand bone %s\n",
                mesh.rootBone >= 0 ? printableName(mesh.nodes[static_cast<std::size_t>(mesh.rootBone)].name).c_str() : "(none)",
                mesh.handBone >= 0 ? printableName(mesh.nodes[static_cast<std::size_t>(mesh.handBone)].name).c_str() : "(none)");
    return true;
}

// An mAni is read onto a model with its node count; take it from the file's
// third line.
bool describeMAni(LineCursor& cursor, const std::string& path, const std::string& name, Diagnostic& diagnostic, const char*& message)
{
    std::string_view line;
    cursor.rewind();
    cursor.next(line);
    cursor.next(line);
    cursor.next(line);
    FieldScanner scan(line);
    std::string_view word;
    std::int32_t nodes = 0;
    scan.readWord(word);
    scan.readInt(nodes);
    EngineModelRecords model;
    model.nodeCount = nodes;
    if (const EngineReadResult r = model.readAnimationFile(path); r != kEngineRead) {
        diagnostic = model.diagnostic;
        message = engineRefusalMessage(r, false);
        return false;
    }
    std::printf("%s: mAni\n  nodes %d, frames %d\n", name.c_str(), model.animations[0].nodeCount, model.animations[0].frameCount);
    return true;
}

} // namespace

// Files are looked into through their lines, never held whole: a file of
// one endless line is refused as the readers refuse it.
bool describeModelFile(const std::string& path, Diagnostic& diagnostic, const char*& message)
{
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(path, reason)) {
        diagnostic = {path, 0, "cannot open: " + reason};
        return false;
    }
    const ModelFileKind kind = guessModelFileKind(cursor);
    if (!cursor.failure().empty()) {
        diagnostic = {path, cursor.lineNumber(), cursor.failure()};
        return false;
    }
    const std::string name = printableName(path);
    switch (kind) {
    case ModelFileKind::Unknown:
        diagnostic = {path, 1, "not an SMD, mRef or mAni file (the first line is not \"version 1\")"};
        return false;
    case ModelFileKind::SmdReference: return describeSmdReference(path, name, diagnostic, message);
    case ModelFileKind::SmdAnimation: return describeSmdAnimation(path, name, diagnostic, message);
    case ModelFileKind::MRef: return describeMRef(path, name, diagnostic, message);
    case ModelFileKind::MAni: return describeMAni(cursor, path, name, diagnostic, message);
    }
    return false;
}

} // namespace veskar
