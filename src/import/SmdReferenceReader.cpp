// Reads an SMD reference file into the next mesh slot: a counting pass that
// sizes the tables, then a reading pass over the same buffer.

#include "import/ConsoleLog.h"
#include "import/FileBuffer.h"
#include "import/SmdModel.h"
#include "import/SmdSections.h"
#include "platform/Shell.h"

#include <string>
#include <unordered_map>

namespace veskar {

namespace {

class ReferenceReader {
public:
    ReferenceReader(SmdModel& model, SmdMesh& mesh, std::string_view text, const std::string& file)
        : model_(model), mesh_(mesh), cursor_(text), file_(file)
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
    bool nodeInRange(std::int32_t n) const { return n >= 0 && n < mesh_.nodeCount && !mesh_.nodes.empty(); }
    int readNodes();
    int readSkeleton();
    int readTriangles();
    int readVertex(std::string_view line, SmdTriangle& triangle, int corner);
    void bindPass();

    SmdModel& model_;
    SmdMesh& mesh_;
    LineCursor cursor_;
    const std::string& file_;
    std::unordered_map<std::string_view, std::int32_t> materialIndex_;
    std::int32_t trianglesRead_ = 0;
    bool skeletonRead_ = false;
    bool trianglesSeen_ = false;
};

int ReferenceReader::run()
{
    model_.nodeCount = model_.frameCount = model_.materialCount = model_.triangleCount = 0;
    model_.materialNames.clear();
    if (!readSmdHeader(cursor_, model_.token, model_.headerValue)) {
        model_.diagnostic = {file_, cursor_.lineNumber(), "the first line is not \"version 1\""};
        return kSmdNotSmd;
    }
    SmdCounts counts;
    countSmdSections(cursor_, counts, model_.materialNames);
    model_.nodeCount = counts.nodeCount;
    model_.frameCount = counts.frameCount;
    model_.materialCount = counts.materialCount;
    model_.triangleCount = counts.triangleCount;
    if (model_.frameCount > 1) {
        model_.diagnostic = {file_, 0, "the skeleton has " + std::to_string(model_.frameCount) + " frames; a reference has one"};
        return kSmdWrongKind;
    }
    if (model_.meshCount >= kModelSlots) {
        model_.diagnostic = {file_, 0, "this model already holds " + std::to_string(kModelSlots) + " meshes"};
        return kSmdNoFreeSlot;
    }

    mesh_.allocateNodes(model_.nodeCount);
    mesh_.allocateTriangles(model_.triangleCount);
    for (std::int32_t i = 0; i < model_.materialCount; ++i)
        materialIndex_[model_.materialNames[static_cast<std::size_t>(i)]] = i;  // the last equal entry wins

    cursor_.rewind();
    std::string token;
    std::int32_t value = 0;
    readSmdHeader(cursor_, token, value);
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        int r = kSmdRead;
        if (equalsIgnoringCase(word, "nodes")) r = readNodes();
        else if (equalsIgnoringCase(word, "skeleton")) r = readSkeleton();
        else if (equalsIgnoringCase(word, "triangles")) r = readTriangles();
        if (r != kSmdRead) return r;
    }
    if (trianglesRead_ != mesh_.triangleCount)
        return refuse("the triangles section holds " + std::to_string(trianglesRead_) + " triangles where " +
                          std::to_string(mesh_.triangleCount) + " were counted",
                      0);
    // Parents given without a skeleton section after them were never checked,
    // and a loop among them would be written into an mRef its reader refuses.
    std::int32_t bad = 0;
    if (!composeWorldMatrices(std::span<SmdNode>(mesh_.nodes), bad)) {
        model_.diagnostic = {file_, 0, "the parents of node " + std::to_string(bad) + " form a loop"};
        return kSmdMalformed;
    }
    if (trianglesSeen_) {
        bindPass();
        mesh_.applyAxis(model_.axisMatrix);
    }
    return kSmdRead;
}

int ReferenceReader::readNodes()
{
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) return kSmdRead;
        if (word.empty()) continue;
        std::int32_t number = 0, parent = 0;
        std::string_view name;
        if (!scanNodeLine(line, number, name, parent)) return refuse("a node line needs a number, a name in double quotes and a parent number");
        if (!nodeInRange(number))
            return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(mesh_.nodeCount - 1));
        if (parent != -1 && !nodeInRange(parent))
            return refuse("parent number " + std::to_string(parent) + " is neither -1 nor a node number");
        SmdNode& node = mesh_.nodes[static_cast<std::size_t>(number)];
        node.name.assign(name);
        node.parent = parent;
    }
    return kSmdRead;
}

int ReferenceReader::readSkeleton()
{
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) break;
        // The frame marker of the bind pose; exporters that leave it out still
        // have their first bone read.
        if (equalsIgnoringCase(word, "time") || word.empty()) continue;
        std::int32_t number = 0;
        float v[6];
        if (!scanBoneLine(line, number, v)) return refuse("a bone line needs a node number and six numbers");
        if (!nodeInRange(number))
            return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(mesh_.nodeCount - 1));
        mesh_.nodes[static_cast<std::size_t>(number)].setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
    }
    std::int32_t bad = 0;
    if (!composeWorldMatrices(std::span<SmdNode>(mesh_.nodes), bad))
        return refuse("the parents of node " + std::to_string(bad) + " form a loop", 0);
    skeletonRead_ = true;
    return kSmdRead;
}

int ReferenceReader::readVertex(std::string_view line, SmdTriangle& triangle, int corner)
{
    FieldScanner scan(line);
    std::int32_t parent = 0;
    float f[8];
    ScanStatus s = scan.readInt(parent);
    if (s == ScanStatus::OutOfRange) return refuse("the parent bone number is far out of range");
    bool ok = s == ScanStatus::Ok;
    for (int i = 0; ok && i < 8; ++i) ok = scan.readFloat(f[i]) == ScanStatus::Ok;
    if (!ok) return refuse("a vertex line needs a parent bone, a position, a normal and u v");
    if (!nodeInRange(parent)) return refuse("parent bone " + std::to_string(parent) + " is not a node number");

    std::int32_t linkCount = 0;
    s = scan.readInt(linkCount);
    if (s == ScanStatus::OutOfRange || (s == ScanStatus::Ok && (linkCount < 0 || linkCount > kMaxLinks)))
        return refuse("link count " + std::string(s == ScanStatus::Ok ? std::to_string(linkCount) : "beyond int32") + " is outside 0 to 16");

    triangle.vertexBone[corner] = parent;
    SmdVertex& v = triangle.vertices[corner];
    v.position[0] = f[0];
    v.position[1] = f[1];
    v.position[2] = f[2];
    v.normal[0] = f[3];
    v.normal[1] = f[4];
    v.normal[2] = f[5];
    v.u = f[6];
    v.v = 1.0f - f[7];
    triangle.linkStart[corner] = static_cast<std::uint32_t>(mesh_.linkPool.size());
    if (s == ScanStatus::Missing || linkCount == 0) {
        // Exporters that write no links mean the vertex follows its parent bone.
        mesh_.linkPool.push_back({parent, 1.0f});
        triangle.linkCount[corner] = 1;
        return kSmdRead;
    }
    for (std::int32_t k = 0; k < linkCount; ++k) {
        BoneLink link;
        const ScanStatus b = scan.readInt(link.bone);
        if (b == ScanStatus::Ok && scan.readFloat(link.weight) == ScanStatus::Ok) {
            if (!nodeInRange(link.bone)) return refuse("link bone " + std::to_string(link.bone) + " is not a node number");
            mesh_.linkPool.push_back(link);
            continue;
        }
        if (b == ScanStatus::OutOfRange) return refuse("a link bone number is far out of range");
        return refuse("the link count is " + std::to_string(linkCount) + " but " + std::to_string(k) + " bone and weight pairs follow");
    }
    triangle.linkCount[corner] = linkCount;
    return kSmdRead;
}

int ReferenceReader::readTriangles()
{
    trianglesSeen_ = true;
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view material = firstWord(line);
        if (equalsIgnoringCase(material, "end")) return kSmdRead;
        SmdTriangle triangle;
        const auto found = materialIndex_.find(material);
        triangle.material = found != materialIndex_.end() ? found->second : 0;
        for (int corner = 0; corner < 3; ++corner) {
            if (!cursor_.next(line)) return refuse("the file ends inside a triangle");
            if (equalsIgnoringCase(firstWord(line), "end"))
                return refuse("triangle " + std::to_string(trianglesRead_) + " has " + std::to_string(corner) + " vertex lines instead of 3");
            const int r = readVertex(line, triangle, corner);
            if (r != kSmdRead) return r;
        }
        if (trianglesRead_ >= mesh_.triangleCount) return refuse("more triangles than the counting pass found");
        mesh_.triangles[static_cast<std::size_t>(trianglesRead_++)] = triangle;
    }
    return kSmdRead;
}

void ReferenceReader::bindPass()
{
    // Every corner linked to a bone needs that bone's inverse; make each once.
    std::vector<Matrix> inverse(mesh_.nodes.size());
    for (std::size_t i = 0; i < mesh_.nodes.size(); ++i) matrixInverse(mesh_.nodes[i].worldMatrix, inverse[i]);
    for (std::int32_t t = 0; t < trianglesRead_; ++t) {
        SmdTriangle& triangle = mesh_.triangles[static_cast<std::size_t>(t)];
        for (int corner = 0; corner < 3; ++corner) {
            const SmdVertex& v = triangle.vertices[corner];
            const Vector3 p{v.position[0], v.position[1], v.position[2]};
            Vector3 sum{}, normal{};
            const auto links = mesh_.links(t, corner);
            for (std::size_t k = 0; k < links.size(); ++k) {
                const Matrix& m = inverse[static_cast<std::size_t>(links[k].bone)];
                const Vector3 q = transformPoint(p, m);
                sum.x += links[k].weight * q.x;
                sum.y += links[k].weight * q.y;
                sum.z += links[k].weight * q.z;
                if (k == 0) normal = vec3TransformNormal({v.normal[0], v.normal[1], v.normal[2]}, m);
            }
            SmdVertex& b = triangle.bindVertices[corner];
            b.position[0] = sum.x;
            b.position[1] = sum.y;
            b.position[2] = sum.z;
            b.normal[0] = normal.x;
            b.normal[1] = normal.y;
            b.normal[2] = normal.z;
            b.u = v.u;
            b.v = v.v;
        }
    }
}

} // namespace

int SmdModel::readReference(std::string_view text, const std::string& displayName)
{
    diagnostic.clear();
    SmdMesh scratch;
    SmdMesh& slot = meshCount < kModelSlots ? meshes[static_cast<std::size_t>(meshCount)] : scratch;
    ReferenceReader reader(*this, slot, text, displayName);
    const int r = reader.run();
    if (r != kSmdRead) {
        if (r == kSmdMalformed) slot.release();
        return r;
    }
    if (device) {
        slot.loadTextures(device, materialCount, modelDirectory, materialNames);
        // Creation stops at the first texture that fails; that one is named.
        for (std::size_t j = 0; j < slot.textures.size(); ++j) {
            if (!slot.textures[j]) {
                consoleLog().print("[Texture] %s\n", slot.texturePaths[j].c_str());
                break;
            }
        }
        slot.createVertexBuffer(device);
    } else {
        slot.textureCount = materialCount;
        for (std::int32_t j = 0; j < materialCount; ++j) slot.texturePaths.push_back(modelDirectory + materialNames[static_cast<std::size_t>(j)]);
    }
    hasMesh = true;
    ++meshCount;
    return kSmdRead;
}

bool SmdModel::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    const int r = readReference(text, displayName);
    switch (r) {
    case kSmdRead: return true;
    case kSmdWrongKind: showMessageBox(refusalText("Reference 파일이 아닙니다!!", diagnostic).c_str(), "Error"); return false;
    case kSmdNoFreeSlot: showMessageBox(refusalText("모델 슬롯이 가득 찼습니다!!", diagnostic).c_str(), "Error"); return false;
    default: showMessageBox(refusalText("SMD 파일이 아닙니다!!", diagnostic).c_str(), "Error"); return false;
    }
}

bool SmdModel::loadReference(const std::string& path)
{
    std::string text, reason;
    diagnostic.clear();
    if (!readWholeFile(path, text, reason)) {
        modelDirectory = directoryOf(path);
        diagnostic = {path, 0, "cannot open: " + reason};
        return false;
    }
    return loadReferenceFromMemory(text, path);
}

} // namespace veskar
