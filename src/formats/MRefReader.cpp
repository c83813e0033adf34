// Reads an mRef file into the next mesh slot of an engine model. The mesh is
// built aside and only put in its slot once the whole file checked out, so a
// refused file leaves the model as it was.

#include "formats/EngineFormatScan.h"
#include "formats/EngineModel.h"
#include "import/ConsoleLog.h"
#include "import/FileBuffer.h"
#include "import/SmdModel.h"
#include "platform/Shell.h"

#include <utility>

namespace veskar {

namespace {

class MRefReader {
public:
    MRefReader(EngineModel& model, EngineMesh& mesh, std::string_view text, const std::string& file)
        : model_(model), mesh_(mesh), cursor_(text), file_(file)
    {
    }
    int run();

private:
    int refuse(const std::string& what, long line)
    {
        model_.diagnostic = {file_, line, what};
        return kEngineMalformed;
    }
    int refuse(const std::string& what) { return refuse(what, cursor_.lineNumber()); }
    bool inNodes(std::int32_t n) const { return n >= 0 && n < model_.nodeCount; }
    int readNodes();
    int readSkeleton();
    int readVertices();
    int readIndices();
    void prepareVertices();

    EngineModel& model_;
    EngineMesh& mesh_;
    LineCursor cursor_;
    const std::string& file_;
    std::int32_t nodeLines_ = -1, boneLines_ = -1, vertexLines_ = -1, indexLines_ = -1;
};

int MRefReader::run()
{
    model_.nodeCount = model_.vertexCount = model_.triangleCount = 0;
    model_.textureName.clear();
    const HeaderLine h = readHeaderLine(cursor_, model_.token, model_.headerValue);
    if (h != HeaderLine::Ok || !equalsIgnoringCase(model_.token, "version") || model_.headerValue != 1) {
        model_.diagnostic = {file_, 1, "the first line is not \"version 1\""};
        return kEngineNotOurFile;
    }
    std::string_view line;
    if (!cursor_.next(line) || !equalsIgnoringCase(firstWord(line), "ref")) {
        model_.diagnostic = {file_, 2, "the second line is not \"ref\""};
        return kEngineWrongKind;
    }
    if (cursor_.next(line)) model_.textureName.assign(firstWord(line));
    for (int i = 0; i < 3; ++i) {
        std::string word;
        std::int32_t value = 0;
        const HeaderLine r = readHeaderLine(cursor_, word, value);
        if (r == HeaderLine::NoLine) return refuse("the file ends in its header", cursor_.lineNumber() + 1);
        if (r == HeaderLine::NumberOutOfRange) return refuse("the count on a header line is beyond int32");
        if (r != HeaderLine::Ok) return refuse("a header line needs a word and a number");
        if (value < 0) return refuse("a count cannot be negative");
        if (equalsIgnoringCase(word, "node")) model_.nodeCount = value;
        else if (equalsIgnoringCase(word, "vertex")) model_.vertexCount = value;
        else if (equalsIgnoringCase(word, "index")) model_.triangleCount = value;
    }
    if (model_.meshCount >= kModelSlots) {
        model_.diagnostic = {file_, 0, "this model already holds " + std::to_string(kModelSlots) + " meshes"};
        return kEngineNoFreeSlot;
    }
    // Each node, vertex and triangle takes a line of its own (nodes two): no
    // count may promise more than the rest of the file holds.
    const std::size_t remaining = cursor_.remainingLines();
    const std::size_t needed = 2 * static_cast<std::size_t>(model_.nodeCount) + static_cast<std::size_t>(model_.vertexCount) +
                               static_cast<std::size_t>(model_.triangleCount);
    if (needed > remaining)
        return refuse("the header counts need " + std::to_string(needed) + " lines but " + std::to_string(remaining) + " follow", 0);

    mesh_.allocateNodes(model_.nodeCount);
    mesh_.allocateVertices(model_.vertexCount);
    mesh_.allocateTriangles(model_.triangleCount);

    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        int r = kEngineRead;
        if (equalsIgnoringCase(word, "nodes")) r = nodeLines_ < 0 ? readNodes() : refuse("a second nodes section");
        else if (equalsIgnoringCase(word, "skeleton")) r = boneLines_ < 0 ? readSkeleton() : refuse("a second skeleton section");
        else if (equalsIgnoringCase(word, "vertices")) r = vertexLines_ < 0 ? readVertices() : refuse("a second vertices section");
        else if (equalsIgnoringCase(word, "indices")) r = indexLines_ < 0 ? readIndices() : refuse("a second indices section");
        if (r != kEngineRead) return r;
    }
    const auto countCheck = [&](std::int32_t lines, std::int32_t count, const char* section, const char* header) -> bool {
        if (std::max(lines, 0) == count) return true;
        refuse(std::string("the ") + section + " section has " + std::to_string(std::max(lines, 0)) + " lines but the " + header +
                   " line says " + std::to_string(count),
               0);
        return false;
    };
    if (!countCheck(nodeLines_, model_.nodeCount, "nodes", "node") || !countCheck(boneLines_, model_.nodeCount, "skeleton", "node") ||
        !countCheck(vertexLines_, model_.vertexCount, "vertices", "vertex") || !countCheck(indexLines_, model_.triangleCount, "indices", "index"))
        return kEngineMalformed;

    std::int32_t bad = 0;
    if (!composeWorldMatrices(std::span<EngineNode>(mesh_.nodes), bad)) return refuse("the parents of node " + std::to_string(bad) + " form a loop", 0);
    for (std::size_t i = 0; i < mesh_.nodes.size(); ++i) mesh_.bonePalette[i] = mesh_.nodes[i].worldMatrix;
    if (!model_.prepareForDrawing) return kEngineRead;
    prepareVertices();
    buildSkinStream(mesh_.vertices, mesh_.skinSources, mesh_.skinLinks);
    return kEngineRead;
}

int MRefReader::readNodes()
{
    nodeLines_ = 0;
    std::string_view line;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) return kEngineRead;
        if (++nodeLines_ > model_.nodeCount) return refuse("more node lines than the node line says (" + std::to_string(model_.nodeCount) + ")");
        FieldScanner scan(line);
        std::int32_t number = 0, parent = 0;
        std::string_view name;
        if (scan.readInt(number) != ScanStatus::Ok || !scan.readQuoted(name) || scan.readInt(parent) != ScanStatus::Ok)
            return refuse("a node line needs a number, a name in double quotes and a parent number");
        if (!inNodes(number)) return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(model_.nodeCount - 1));
        if (parent != -1 && !inNodes(parent)) return refuse("parent number " + std::to_string(parent) + " is neither -1 nor a node number");
        EngineNode& node = mesh_.nodes[static_cast<std::size_t>(number)];
        node.name.assign(name);
        node.parent = parent;
        if (equalsIgnoringCase(name, "Bip01")) mesh_.rootBone = number;
        if (equalsIgnoringCase(name, "Bip01 L Hand")) mesh_.handBone = number;
    }
    return kEngineRead;
}

int MRefReader::readSkeleton()
{
    boneLines_ = 0;
    std::string_view line;
    bool first = true;
    while (cursor_.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "end")) return kEngineRead;
        // The bind pose's frame marker.
        if (first && equalsIgnoringCase(word, "time")) {
            first = false;
            continue;
        }
        first = false;
        if (++boneLines_ > model_.nodeCount) return refuse("more bone lines than the node line says (" + std::to_string(model_.nodeCount) + ")");
        FieldScanner scan(line);
        std::int32_t number = 0;
        float v[6];
        bool ok = scan.readInt(number) == ScanStatus::Ok;
        for (int i = 0; ok && i < 6; ++i) ok = scan.readFloat(v[i]) == ScanStatus::Ok;
        if (!ok) return refuse("a bone line needs a node number and six numbers");
        if (!inNodes(number)) return refuse("node number " + std::to_string(number) + " is outside 0 to " + std::to_string(model_.nodeCount - 1));
        mesh_.nodes[static_cast<std::size_t>(number)].setPose(v[0], v[1], v[2], v[3], v[4], v[5]);
    }
    return kEngineRead;
}

int MRefReader::readVertices()
{
    vertexLines_ = 0;
    std::string_view line;
    while (cursor_.next(line)) {
        if (equalsIgnoringCase(firstWord(line), "end")) return kEngineRead;
        if (vertexLines_ >= model_.vertexCount)
            return refuse("more vertex lines than the vertex line says (" + std::to_string(model_.vertexCount) + ")");
        EngineVertex& vertex = mesh_.vertices[static_cast<std::size_t>(vertexLines_++)];
        FieldScanner scan(line);
        float f[8];
        std::int32_t parent = 0, linkCount = 0;
        bool ok = scan.readInt(parent) == ScanStatus::Ok;
        for (int i = 0; ok && i < 8; ++i) ok = scan.readFloat(f[i]) == ScanStatus::Ok;
        if (!ok) return refuse("a vertex line needs a parent bone, a position, a normal, u, v and a link count");
        const ScanStatus s = scan.readInt(linkCount);
        if (s != ScanStatus::Ok || linkCount < 0 || linkCount > kMaxLinks) return refuse("the link count must be 0 to 16");
        if (!inNodes(parent)) return refuse("parent bone " + std::to_string(parent) + " is not a node number");
        BoneLinks scratch;
        for (int k = 0; k < kMaxLinks; ++k) {
            scratch.bone[k] = 0;
            scratch.weight[k] = 0.0f;
        }
        for (std::int32_t k = 0; k < linkCount; ++k) {
            const ScanStatus b = scan.readInt(scratch.bone[k]);
            if (b == ScanStatus::OutOfRange) return refuse("a link bone number is far out of range");
            if (b != ScanStatus::Ok || scan.readFloat(scratch.weight[k]) != ScanStatus::Ok)
                return refuse("the link count is " + std::to_string(linkCount) + " but " + std::to_string(k) + " bone and weight pairs follow");
            if (!inNodes(scratch.bone[k])) return refuse("link bone " + std::to_string(scratch.bone[k]) + " is not a node number");
        }
        vertex.parentBone = parent;
        SkinVertex& rest = vertex.restVertex;
        rest.position[0] = f[0];
        rest.position[1] = f[1];
        rest.position[2] = f[2];
        rest.normal[0] = f[3];
        rest.normal[1] = f[4];
        rest.normal[2] = f[5];
        rest.u = f[6];
        rest.v = 1.0f - f[7];
        vertex.linkCount = linkCount;
        vertex.links = scratch;
        for (int k = 0; k < 4; ++k) {
            rest.weights[k] = scratch.weight[k];
            rest.boneIndices[k] = static_cast<float>(scratch.bone[k]);
        }
    }
    return kEngineRead;
}

int MRefReader::readIndices()
{
    indexLines_ = 0;
    std::string_view line;
    while (cursor_.next(line)) {
        if (equalsIgnoringCase(firstWord(line), "end")) return kEngineRead;
        if (indexLines_ >= model_.triangleCount)
            return refuse("more index lines than the index line says (" + std::to_string(model_.triangleCount) + ")");
        TriangleIndices& t = mesh_.triangles[static_cast<std::size_t>(indexLines_++)];
        FieldScanner scan(line);
        if (scan.readInt(t.a) != ScanStatus::Ok || scan.readInt(t.b) != ScanStatus::Ok || scan.readInt(t.c) != ScanStatus::Ok)
            return refuse("an index line needs three vertex numbers");
        for (std::int32_t i : {t.a, t.b, t.c})
            if (i < 0 || i >= model_.vertexCount)
                return refuse("vertex number " + std::to_string(i) + " is outside 0 to " + std::to_string(model_.vertexCount - 1));
    }
    return kEngineRead;
}

void MRefReader::prepareVertices()
{
    for (EngineVertex& v : mesh_.vertices) compactLinks(v.linkCount, v.links);

    std::vector<Matrix> inverse(mesh_.nodes.size());
    for (std::size_t i = 0; i < mesh_.nodes.size(); ++i) matrixInverse(mesh_.nodes[i].worldMatrix, inverse[i]);
    for (EngineVertex& v : mesh_.vertices) {
        const Vector3 p{v.restVertex.position[0], v.restVertex.position[1], v.restVertex.position[2]};
        Vector3 sum{}, normal{};
        for (std::int32_t k = 0; k < v.linkCount; ++k) {
            const Matrix& m = inverse[static_cast<std::size_t>(v.links.bone[k])];
            const Vector3 q = transformPoint(p, m);
            const float w = v.links.weight[k];
            sum = {sum.x + w * q.x, sum.y + w * q.y, sum.z + w * q.z};
            if (k == 0) normal = vec3TransformNormal({v.restVertex.normal[0], v.restVertex.normal[1], v.restVertex.normal[2]}, m);
        }
        v.bindVertex = v.restVertex;
        v.bindVertex.position[0] = sum.x;
        v.bindVertex.position[1] = sum.y;
        v.bindVertex.position[2] = sum.z;
        v.bindVertex.normal[0] = normal.x;
        v.bindVertex.normal[1] = normal.y;
        v.bindVertex.normal[2] = normal.z;
    }

    mesh_.applyAxisMatrix(model_.axisMatrix);

    for (EngineVertex& v : mesh_.vertices) {
        const Vector3 p{v.bindVertex.position[0], v.bindVertex.position[1], v.bindVertex.position[2]};
        Vector3 sum{}, normal{};
        for (std::int32_t k = 0; k < v.linkCount; ++k) {
            const Matrix& m = mesh_.nodes[static_cast<std::size_t>(v.links.bone[k])].worldMatrix;
            const Vector3 q = transformPoint(p, m);
            const float w = v.links.weight[k];
            sum = {sum.x + w * q.x, sum.y + w * q.y, sum.z + w * q.z};
            if (k == 0) normal = vec3TransformNormal({v.bindVertex.normal[0], v.bindVertex.normal[1], v.bindVertex.normal[2]}, m);
        }
        v.restVertex.position[0] = sum.x;
        v.restVertex.position[1] = sum.y;
        v.restVertex.position[2] = sum.z;
        v.restVertex.normal[0] = normal.x;
        v.restVertex.normal[1] = normal.y;
        v.restVertex.normal[2] = normal.z;
    }
}

} // namespace

int EngineModel::readReference(std::string_view text, const std::string& displayName)
{
    diagnostic.clear();
    EngineMesh mesh;
    MRefReader reader(*this, mesh, text, displayName);
    const int r = reader.run();
    if (r != kEngineRead) return r;
    EngineMesh& slot = meshes[static_cast<std::size_t>(meshCount)];
    slot.release();
    slot = std::move(mesh);
    if (device) {
        if (slot.loadTexture(device, modelDirectory, textureName)) consoleLog().print("[Texture] %s\n", slot.texturePath.c_str());
        else consoleLog().print("[Texture] not found: %s\n", slot.texturePath.c_str());
    }
    if (!device) slot.texturePath = modelDirectory + textureName;
    hasMesh = true;
    if (slot.createRestBuffer(device) && slot.createBindBuffer(device)) slot.createIndexBuffer(device);
    ++meshCount;
    return kEngineRead;
}

bool EngineModel::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    switch (readReference(text, displayName)) {
    case kEngineRead: return true;
    case kEngineWrongKind: showMessageBox(refusalText("Reference 파일이 아닙니다!!", diagnostic).c_str(), "Error"); return false;
    case kEngineNoFreeSlot: showMessageBox(refusalText("모델 슬롯이 가득 찼습니다!!", diagnostic).c_str(), "Error"); return false;
    default: showMessageBox(refusalText("mRef 파일이 아닙니다!!", diagnostic).c_str(), "Error"); return false;
    }
}

bool EngineModel::loadReference(const std::string& path)
{
    std::string text, reason;
    diagnostic.clear();
    modelDirectory = directoryOf(path);
    if (!readWholeFile(path, text, reason)) {
        diagnostic = {path, 0, "cannot open: " + reason};
        return false;
    }
    return loadReferenceFromMemory(text, path);
}

} // namespace veskar
