#include "gltf/GltfExport.h"

#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"
#include "gltf/GlbWriter.h"
#include "gltf/GltfSceneBuilder.h"
#include "gltf/GltfTextForm.h"
#include "gltf/GltfTextures.h"
#include "gltf/ScaledLengths.h"
#include "convert/ModelFileKind.h"
#include "import/ConsoleLog.h"
#include "import/ReaderFrame.h"
#include "import/TextScan.h"
#include "base/Utf8Path.h"

#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <system_error>

namespace veskar {

namespace {

constexpr const char* kGenerator = "Veskar veskar-convert";

std::string fileNameOf(const std::string& path) { return path.substr(directoryOf(path).size()); }

std::string stemOf(const std::string& path)
{
    const std::string name = fileNameOf(path);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool samePath(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return a == b || std::filesystem::equivalent(pathFromUtf8(a), pathFromUtf8(b), ec);
}

// "1 vertex", "2 vertices".
std::string counted(std::size_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

// A few names of a list, for one line of standard error.
template <typename NameOf>
std::string someNames(const std::vector<std::int32_t>& items, NameOf nameOf)
{
    constexpr std::size_t kShown = 5;
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i) text += (i ? ", \"" : "\"") + nameOf(items[i]) + "\"";
    if (items.size() > kShown) text += " and " + std::to_string(items.size() - kShown) + " more";
    return text;
}

// Why a file was refused: where and what, and the system's own message for
// it when it has one.
struct Refusal {
    Diagnostic diagnostic;
    const char* message = nullptr;
};

void refuse(GltfExportOutcome& outcome, const Refusal& refusal, const std::string& file)
{
    outcome.refusals.push_back(refusal.diagnostic.empty() ? file + ": refused" : refusalLines(refusal.diagnostic, refusal.message));
}

// The reference as the builder takes it, whichever file it came from.
struct LoadedReference {
    std::unique_ptr<FormatConverter> converter;   // an SMD reference, welded
    std::unique_ptr<EngineModelRecords> engine;   // an mRef
    std::span<const SkeletonNode> nodes;
    std::span<const EngineVertex> vertices;
    std::span<const TriangleIndices> triangles;
    std::vector<std::int32_t> triangleMaterials;
    std::vector<std::string> materialNames;
};

// What a file holds, told from its lines without holding it: a file of one
// endless line is then refused by its reader as any other bad file.
bool guessKind(const std::string& path, ModelFileKind& kind, Diagnostic& diagnostic)
{
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(path, reason)) {
        diagnostic = {path, 0, "cannot open: " + reason};
        return false;
    }
    kind = guessModelFileKind(cursor);
    return true;
}

bool loadReference(const std::string& path, LoadedReference& out, Refusal& refusal)
{
    ModelFileKind kind = ModelFileKind::Unknown;
    if (!guessKind(path, kind, refusal.diagnostic)) return false;
    if (kind == ModelFileKind::MRef) {
        out.engine = std::make_unique<EngineModelRecords>();
        EngineModelRecords& model = *out.engine;
        model.prepareForDrawing = false;
        if (const EngineReadResult r = model.readReferenceFile(path); r != kEngineRead) {
            refusal = {model.diagnostic, engineRefusalMessage(r, true)};
            return false;
        }
        const EngineMesh& mesh = model.meshes[0];
        out.nodes = mesh.nodes;
        out.vertices = mesh.vertices;
        out.triangles = mesh.triangles;
        out.materialNames = {model.textureName};
        return true;
    }
    out.converter = std::make_unique<FormatConverter>();
    FormatConverter& converter = *out.converter;
    converter.smdModel = std::make_unique<SmdModelRecords>();
    converter.smdModel->buildPoseMatrices = false;
    if (const SmdReadResult r = converter.smdModel->readReferenceFile(path); r != kSmdRead) {
        refusal = {converter.smdModel->diagnostic, smdRefusalMessage(r, true)};
        return false;
    }
    if (!converter.weldVertices()) {
        refusal = {{path, 0, "not enough memory to weld the vertices"}};
        return false;
    }
    const SmdModelRecords& model = *converter.smdModel;
    const SmdMesh& mesh = model.meshes[0];
    out.nodes = mesh.nodes;
    out.vertices = std::span<const EngineVertex>(converter.weldedVertices.data(), static_cast<std::size_t>(converter.weldedCount));
    out.triangles = std::span<const TriangleIndices>(converter.triangles.data(), static_cast<std::size_t>(converter.cornerCount / 3));
    // The reader keeps a name per run of triangles; a material is a name.
    std::map<std::string, std::int32_t> byName;
    std::vector<std::int32_t> materialOfEntry(model.materialNames.size(), -1);
    out.triangleMaterials.reserve(mesh.triangles.size());
    for (const SmdTriangle& t : mesh.triangles) {
        const std::size_t entry = static_cast<std::size_t>(t.material);
        std::int32_t& m = materialOfEntry[entry];
        if (m < 0) {
            const auto [it, added] = byName.emplace(model.materialNames[entry], static_cast<std::int32_t>(out.materialNames.size()));
            if (added) out.materialNames.push_back(model.materialNames[entry]);
            m = it->second;
        }
        out.triangleMaterials.push_back(m);
    }
    return true;
}

bool loadAnimation(const std::string& path, SkeletonAnimation& out, Refusal& refusal)
{
    ModelFileKind kind = ModelFileKind::Unknown;
    if (!guessKind(path, kind, refusal.diagnostic)) return false;
    switch (kind) {
    case ModelFileKind::MRef:
        refusal = {{path, 2, "an mRef holds a reference, not an animation"}, "Animation 파일이 아닙니다!!"};
        return false;
    case ModelFileKind::MAni: {
        EngineModelRecords model;
        model.nodeCount = mAniNodeCount(path);
        if (const EngineReadResult r = model.readAnimationFile(path); r != kEngineRead) {
            refusal = {model.diagnostic, engineRefusalMessage(r, false)};
            return false;
        }
        out = std::move(model.animations[0]);
        return true;
    }
    default: {
        SmdModelRecords model;
        model.buildPoseMatrices = false;
        if (const SmdReadResult r = model.readAnimationFile(path); r != kSmdRead) {
            refusal = {model.diagnostic, smdRefusalMessage(r, false)};
            return false;
        }
        out = std::move(model.animations[0]);
        return true;
    }
    }
}

void noteMesh(const std::string& reference, const GltfMeshReport& r, GltfExportOutcome& outcome)
{
    const auto note = [&](std::int32_t n, const char* one, const char* many, const char* what) {
        if (n > 0) outcome.notes.push_back(reference + ": " + counted(static_cast<std::size_t>(n), one, many) + what);
    };
    note(r.verticesLostLinks, "vertex", "vertices",
         " had more than four bone links; the four heaviest were kept and their weights scaled to sum to 1");
    note(r.verticesRenormalised, "vertex", "vertices", " had weights that did not sum to 1; they were scaled to 1");
    note(r.droppedLinks, "link", "links", " with a negative weight or one that is not a number left out");
    note(r.verticesGivenParent, "vertex", "vertices", " without any weight now follow their parent bone");
    note(r.normalsReplaced, "normal", "normals", " of zero length given their triangle's");
}

void noteMatch(const std::string& reference, const std::string& animation, std::span<const SkeletonNode> joints, const SkeletonAnimation& keys,
               const NodeNameMatch& match, GltfExportOutcome& outcome)
{
    const std::size_t skipped = match.unmatchedAnimationNodes.size();
    if (skipped > 0 && keys.hasFrames()) {
        const auto frame = keys.frame(0);
        outcome.notes.push_back(animation + ": " + counted(skipped, "node", "nodes") + " that " + fileNameOf(reference) + (skipped == 1 ? " does not have was" : " does not have were") +
                                " skipped: " + someNames(match.unmatchedAnimationNodes, [&](std::int32_t n) { return frame[static_cast<std::size_t>(n)].name; }));
    }
    const std::size_t still = match.unmatchedModelNodes.size();
    if (still > 0 && match.matched > 0)
        outcome.notes.push_back(animation + ": " + counted(still, "joint", "joints") + " of " + fileNameOf(reference) + (still == 1 ? " has" : " have") +
                                " no keys and " + (still == 1 ? "keeps its" : "keep their") + " bind pose: " +
                                someNames(match.unmatchedModelNodes, [&](std::int32_t n) { return joints[static_cast<std::size_t>(n)].name; }));
}

// One animation into the scene, or its refusal; nothing is added when it is refused.
void addAnimation(const std::string& reference, const std::string& path, std::span<const SkeletonNode> joints, const GltfExportOptions& options,
                  GltfScene& scene, GltfExportOutcome& outcome)
{
    SkeletonAnimation keys;
    Refusal refusal;
    if (!loadAnimation(path, keys, refusal)) {
        refuse(outcome, refusal, path);
        return;
    }
    if (const Diagnostic beyond = refuseScaledBeyondRange(path, largestLength(keys), options.scale); !beyond.empty()) {
        refuse(outcome, {beyond}, path);
        return;
    }
    NodeNameMatch match;
    std::string reason;
    const bool added = buildGltfAnimation(joints, stemOf(path), keys, options.fps, options.scale, scene, match, reason);
    noteMatch(reference, path, joints, keys, match, outcome);
    if (!added) refuse(outcome, {{path, 0, reason}}, path);
}

} // namespace

std::string defaultGltfOutput(const std::string& reference)
{
    const std::string folder = directoryOf(reference);
    const std::string name = reference.substr(folder.size());
    const auto dot = name.find_last_of('.');
    return folder + (dot == std::string::npos ? name + ".glb" : name.substr(0, dot + 1) + "glb");
}

GltfExportOutcome exportGltf(const GltfExportJob& job)
{
    GltfExportOutcome outcome;
    outcome.outputPath = job.output.empty() ? defaultGltfOutput(job.reference) : job.output;
    const std::string& reference = job.reference;
    if (isGltfTextOutput(outcome.outputPath)) outcome.bufferPath = gltfBufferPath(outcome.outputPath);
    std::vector<std::string> sources{reference};
    sources.insert(sources.end(), job.animations.begin(), job.animations.end());
    for (const std::string& s : sources) {
        for (const std::string* output : {&outcome.outputPath, &outcome.bufferPath}) {
            if (!output->empty() && samePath(*output, s)) {
                refuse(outcome, {{s, 0, "the output " + *output + " would overwrite this source file"}}, s);
                return outcome;
            }
        }
    }
    consoleLog().print("[Gltf] %s\n", fileNameOf(outcome.outputPath).c_str());

    LoadedReference model;
    Refusal refusal;
    bool loaded = false;
    try {
        loaded = loadReference(reference, model, refusal);
    } catch (const std::bad_alloc&) {
        refusal = {{reference, 0, kNoMemoryToReadText}};
    }
    if (!loaded) {
        refuse(outcome, refusal, reference);
        return outcome;
    }
    const float scale = job.options.scale;
    if (const Diagnostic beyond = refuseScaledBeyondRange(reference, largestLength(model.nodes, model.vertices), scale); !beyond.empty()) {
        refuse(outcome, {beyond}, reference);
        return outcome;
    }
    if (model.nodes.size() > std::numeric_limits<std::uint16_t>::max()) {
        refuse(outcome, {{reference, 0, std::to_string(model.nodes.size()) + " nodes are more than glTF's joint numbers can hold (65535)"}}, reference);
        return outcome;
    }

    GltfScene scene;
    scene.name = stemOf(reference);
    std::string reason;
    // Only a number that is not finite fails the skeleton or the mesh: the
    // line that holds it is named when one does.
    if (!buildGltfSkeleton(model.nodes, scale, scene, reason)) {
        refuse(outcome, {{reference, firstLineBeyondScale(reference, scale), reason}}, reference);
        return outcome;
    }
    attachGltfTextures(reference, directoryOf(reference), model.materialNames, scene, outcome.notes);
    GltfMeshReport meshReport;
    const GltfMeshSource source{model.vertices, model.triangles, model.triangleMaterials};
    if (!buildGltfPrimitives(source, scale, scene, meshReport, reason)) {
        refuse(outcome, {{reference, firstLineBeyondScale(reference, scale), reason}}, reference);
        return outcome;
    }
    noteMesh(reference, meshReport, outcome);

    for (const std::string& path : job.animations) {
        // An animation that needs more memory than there is is left out as
        // any refused one is.
        try {
            addAnimation(reference, path, model.nodes, job.options, scene, outcome);
        } catch (const std::bad_alloc&) {
            refuse(outcome, {{path, 0, kNoMemoryToReadText}}, path);
        }
    }

    std::string bytes;
    if (!writeGlb(scene, kGenerator, bytes, reason)) {
        refuse(outcome, {{outcome.outputPath, 0, reason}}, reference);
        return outcome;
    }
    if (!writeGltfOutput(outcome.outputPath, bytes, reason)) {
        refuse(outcome, {{outcome.outputPath, 0, reason}}, reference);
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

} // namespace veskar
