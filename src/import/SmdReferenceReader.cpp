// Reads an SMD reference file into the next mesh slot: a counting pass that
// sizes the tables, then a reading pass over the same lines (a file is read
// twice rather than held), large triangle sections in shares on several
// threads.

#include "import/ConsoleLog.h"
#include "import/FileBuffer.h"
#include "import/SmdModel.h"
#include "import/SmdSections.h"
#include "platform/Device.h"
#include "platform/LargePages.h"
#include "platform/Shell.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace veskar {

namespace {

// Reads triangles from one cursor into the mesh's table from triangle first
// on, until the section's "end" or triangle stopAt; the corners' links go to
// pool. Shares of one section run on their own threads: each writes only its
// own triangles and pool, and reads the rest.
class TriangleShare {
public:
    TriangleShare(SmdMesh& mesh, std::vector<BoneLink>& pool, LineCursor& cursor, const std::string& file,
                  const std::unordered_map<std::string_view, std::int32_t>& materialIndex, std::int32_t first)
        : next(first), mesh_(mesh), pool_(pool), cursor_(cursor), file_(file), materialIndex_(materialIndex)
    {
    }

    int run();

    std::int32_t next;   // the next triangle's number
    std::int32_t stopAt = std::numeric_limits<std::int32_t>::max();
    int result = kSmdRead;
    Diagnostic diagnostic;

private:
    int refuse(const std::string& what);
    bool nodeInRange(std::int32_t n) const { return n >= 0 && n < mesh_.nodeCount && !mesh_.nodes.empty(); }
    int readVertex(std::string_view line, SmdTriangle& triangle, int corner);

    SmdMesh& mesh_;
    std::vector<BoneLink>& pool_;
    LineCursor& cursor_;
    const std::string& file_;
    const std::unordered_map<std::string_view, std::int32_t>& materialIndex_;
};

class ReferenceReader {
public:
    ReferenceReader(SmdModel& model, SmdMesh& mesh, LineCursor& lines, const std::string& file)
        : model_(model), mesh_(mesh), cursor_(lines), file_(file)
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
    bool bindPass();

    SmdModel& model_;
    SmdMesh& mesh_;
    LineCursor& cursor_;
    const std::string& file_;
    std::unordered_map<std::string_view, std::int32_t> materialIndex_;
    SmdCounts counts_;
    std::size_t sectionsRead_ = 0;
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
    SmdCounts& counts = counts_;
    if (model_.readerThreads > 1 && model_.minimumShare > 0) counts.markSpacing = std::max(1, model_.minimumShare / 8);
    countSmdSections(cursor_, counts, model_.materialNames);
    if (!cursor_.failure().empty()) return refuse("cannot read the file: " + cursor_.failure());
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
    if (model_.triangleCount > 0 && !mesh_.allocateTriangles(model_.triangleCount))
        return refuse("not enough memory for " + std::to_string(model_.triangleCount) + " triangles", 0);
    // Most exporters write one to four links a corner; room for four each
    // saves moving the pool as it grows (room that is never written costs no
    // memory).
    try {
        mesh_.linkPool.reserve(static_cast<std::size_t>(model_.triangleCount) * 12);
        preferLargePages(mesh_.linkPool);
    } catch (const std::bad_alloc&) {
    }
    for (std::int32_t i = 0; i < model_.materialCount; ++i)
        materialIndex_[model_.materialNames[static_cast<std::size_t>(i)]] = i;  // the last equal entry wins

    if (!cursor_.rewind()) return refuse("cannot read the file again: " + cursor_.failure(), 0);
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
    if (!cursor_.failure().empty()) return refuse("cannot read the file: " + cursor_.failure());
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
        if (model_.buildPoseMatrices && !bindPass()) return refuse("not enough memory for the bind vertices", 0);
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

int TriangleShare::refuse(const std::string& what)
{
    diagnostic = {file_, cursor_.lineNumber(), what};
    return kSmdMalformed;
}

int TriangleShare::readVertex(std::string_view line, SmdTriangle& triangle, int corner)
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
    triangle.linkStart[corner] = static_cast<std::uint32_t>(pool_.size());
    if (s == ScanStatus::Missing || linkCount == 0) {
        // Exporters that write no links mean the vertex follows its parent bone.
        pool_.push_back({parent, 1.0f});
        triangle.linkCount[corner] = 1;
        return kSmdRead;
    }
    for (std::int32_t k = 0; k < linkCount; ++k) {
        BoneLink link;
        const ScanStatus b = scan.readInt(link.bone);
        if (b == ScanStatus::Ok && scan.readFloat(link.weight) == ScanStatus::Ok) {
            if (!nodeInRange(link.bone)) return refuse("link bone " + std::to_string(link.bone) + " is not a node number");
            pool_.push_back(link);
            continue;
        }
        if (b == ScanStatus::OutOfRange) return refuse("a link bone number is far out of range");
        return refuse("the link count is " + std::to_string(linkCount) + " but " + std::to_string(k) + " bone and weight pairs follow");
    }
    triangle.linkCount[corner] = linkCount;
    return kSmdRead;
}

int TriangleShare::run()
{
    std::string_view line;
    while (next < stopAt && cursor_.next(line)) {
        const std::string_view material = firstWord(line);
        if (equalsIgnoringCase(material, "end")) return result = kSmdRead;
        SmdTriangle triangle;
        const auto found = materialIndex_.find(material);
        triangle.material = found != materialIndex_.end() ? found->second : 0;
        for (int corner = 0; corner < 3; ++corner) {
            if (!cursor_.next(line)) return result = refuse("the file ends inside a triangle");
            if (equalsIgnoringCase(firstWord(line), "end"))
                return result = refuse("triangle " + std::to_string(next) + " has " + std::to_string(corner) + " vertex lines instead of 3");
            const int r = readVertex(line, triangle, corner);
            if (r != kSmdRead) return result = r;
        }
        if (next >= static_cast<std::int32_t>(mesh_.triangles.size())) return result = refuse("more triangles than the counting pass found");
        mesh_.triangles[static_cast<std::size_t>(next++)] = triangle;
    }
    return result = kSmdRead;
}

int ReferenceReader::readTriangles()
{
    trianglesSeen_ = true;
    const TriangleSection* section = sectionsRead_ < counts_.triangleSections.size() ? &counts_.triangleSections[sectionsRead_] : nullptr;
    ++sectionsRead_;

    // Shares of a large section start at marks the counting pass left; the
    // first share is read on this thread with this cursor. A section the
    // counting pass did not see as the reading pass does is read in order.
    std::vector<const TriangleMark*> starts;
    const int threads = std::max(1, model_.readerThreads);
    if (section && section->first == trianglesRead_ && threads > 1 && model_.minimumShare > 0) {
        const std::int32_t shares = std::min<std::int32_t>(threads, section->count / model_.minimumShare);
        for (std::int32_t k = 1; k < shares; ++k) {
            const std::int32_t target = section->first + static_cast<std::int32_t>(static_cast<std::int64_t>(section->count) * k / shares);
            const auto mark = std::lower_bound(section->marks.begin(), section->marks.end(), target,
                                               [](const TriangleMark& m, std::int32_t t) { return m.triangle < t; });
            if (mark == section->marks.end()) break;
            if (starts.empty() || starts.back()->triangle < mark->triangle) starts.push_back(&*mark);
        }
    }

    TriangleShare first(mesh_, mesh_.linkPool, cursor_, file_, materialIndex_, trianglesRead_);
    if (starts.empty()) {
        first.run();
        trianglesRead_ = first.next;
        if (first.result != kSmdRead) model_.diagnostic = first.diagnostic;
        return first.result;
    }

    first.stopAt = starts.front()->triangle;
    std::vector<LineCursor> cursors(starts.size());
    std::vector<std::vector<BoneLink>> pools(starts.size());
    std::vector<std::unique_ptr<TriangleShare>> shares;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        if (!cursors[k].startAt(cursor_, starts[k]->offset, starts[k]->line))
            return refuse("cannot read the file again: " + cursor_.failure(), 0);
        shares.push_back(std::make_unique<TriangleShare>(mesh_, pools[k], cursors[k], file_, materialIndex_, starts[k]->triangle));
        if (k + 1 < starts.size()) shares.back()->stopAt = starts[k + 1]->triangle;
        const std::int32_t end = k + 1 < starts.size() ? starts[k + 1]->triangle : section->first + section->count;
        try {
            pools[k].reserve(static_cast<std::size_t>(std::max(0, end - starts[k]->triangle)) * 12);
        } catch (const std::bad_alloc&) {
        }
    }
    std::vector<std::thread> workers;
    std::size_t started = 0;
    for (; started < shares.size(); ++started) {
        TriangleShare* share = shares[started].get();
        try {
            workers.emplace_back([share] { share->run(); });
        } catch (const std::system_error&) {
            break;  // no thread to be had: the rest are read here, in order
        }
    }
    first.run();
    for (std::thread& worker : workers) worker.join();
    for (std::size_t k = started; k < shares.size(); ++k) shares[k]->run();

    for (const LineCursor& cursor : cursors)
        if (!cursor.failure().empty()) return refuse("cannot read the file: " + cursor.failure(), cursor.lineNumber());
    // The first refusal in file order is the one reading in order would give.
    // A share that stopped short of the next one's first triangle saw a
    // section other than the one counted.
    const auto stoppedEarly = [this](const TriangleShare& share, const LineCursor& cursor, bool last) -> int {
        if (share.result == kSmdRead && (last || share.next == share.stopAt)) return kSmdRead;
        trianglesRead_ = share.next;
        if (share.result != kSmdRead) {
            model_.diagnostic = share.diagnostic;
            return share.result;
        }
        model_.diagnostic = {file_, cursor.lineNumber(), "the triangles section changed while it was read"};
        return kSmdMalformed;
    };
    if (const int r = stoppedEarly(first, cursor_, false); r != kSmdRead) return r;
    for (std::size_t k = 0; k < shares.size(); ++k)
        if (const int r = stoppedEarly(*shares[k], cursors[k], k + 1 == shares.size()); r != kSmdRead) return r;
    // Each share's links go after the ones before it.
    std::size_t links = mesh_.linkPool.size();
    for (const auto& pool : pools) links += pool.size();
    try {
        mesh_.linkPool.reserve(links);
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for " + std::to_string(links) + " bone links", 0);
    }
    for (std::size_t k = 0; k < shares.size(); ++k) {
        const auto base = static_cast<std::uint32_t>(mesh_.linkPool.size());
        mesh_.linkPool.insert(mesh_.linkPool.end(), pools[k].begin(), pools[k].end());
        for (std::int32_t t = starts[k]->triangle; t < shares[k]->next; ++t)
            for (std::uint32_t& start : mesh_.triangles[static_cast<std::size_t>(t)].linkStart) start += base;
        std::vector<BoneLink>().swap(pools[k]);
    }
    trianglesRead_ = shares.back()->next;
    // This cursor goes on after the section, where the last share stopped.
    if (!cursor_.seek(cursors.back().offset(), cursors.back().lineNumber()))
        return refuse("cannot read the file again: " + cursor_.failure(), 0);
    return kSmdRead;
}

bool ReferenceReader::bindPass()
{
    try {
        mesh_.bindVertices.assign(static_cast<std::size_t>(trianglesRead_) * 3, SmdVertex{});
    } catch (const std::bad_alloc&) {
        return false;
    }
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
            SmdVertex& b = mesh_.bindVertices[static_cast<std::size_t>(t) * 3 + static_cast<std::size_t>(corner)];
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
    return true;
}

} // namespace

int SmdModel::readReference(std::string_view text, const std::string& displayName)
{
    LineCursor lines(text);
    return readReference(lines, displayName);
}

int SmdModel::readReference(LineCursor& lines, const std::string& displayName)
{
    diagnostic.clear();
    SmdMesh scratch;
    SmdMesh& slot = meshCount < kModelSlots ? meshes[static_cast<std::size_t>(meshCount)] : scratch;
    ReferenceReader reader(*this, slot, lines, displayName);
    const int r = reader.run();
    if (r != kSmdRead) {
        if (r == kSmdMalformed) slot.release();
        return r;
    }
    if (device) {
        slot.loadTextures(device, materialCount, modelDirectory, materialNames);
        // Each file once, though several runs of a material name it.
        std::set<std::string> told;
        for (std::size_t j = 0; j < slot.textures.size(); ++j) {
            const std::string& path = slot.texturePaths[j];
            if (!told.insert(path).second) continue;
            // A stand-in for a missing file comes from no file.
            const Texture* texture = slot.textures[j];
            if (texture && !texture->sourcePath.empty()) consoleLog().print("[Texture] %s\n", path.c_str());
            else consoleLog().print("[Texture] not found: %s\n", path.c_str());
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

namespace {

bool reportReference(SmdModel& model, int r)
{
    switch (r) {
    case kSmdRead: return true;
    case kSmdWrongKind: showMessageBox(refusalText("Reference 파일이 아닙니다!!", model.diagnostic).c_str(), "Error"); return false;
    case kSmdNoFreeSlot: showMessageBox(refusalText("모델 슬롯이 가득 찼습니다!!", model.diagnostic).c_str(), "Error"); return false;
    default: showMessageBox(refusalText("SMD 파일이 아닙니다!!", model.diagnostic).c_str(), "Error"); return false;
    }
}

} // namespace

bool SmdModel::loadReferenceFromMemory(std::string_view text, const std::string& displayName)
{
    modelDirectory = directoryOf(displayName);
    return reportReference(*this, readReference(text, displayName));
}

bool SmdModel::loadReference(const std::string& path)
{
    LineCursor lines;
    std::string reason;
    diagnostic.clear();
    modelDirectory = directoryOf(path);
    if (!lines.openFile(path, reason)) {
        diagnostic = {path, 0, "cannot open: " + reason};
        return false;
    }
    return reportReference(*this, readReference(lines, path));
}

} // namespace veskar
