#pragma once
// The records of one SMD reference model with the SMD animations read onto
// it: what the files say, posed, and nothing a device holds. The converter
// reads into these; the viewer's SmdModel (render/SmdModel.h) adds its device
// objects on top.

#include "import/Diagnostic.h"
#include "import/Skeleton.h"
#include "base/Math.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veskar {

class LineCursor;
class TriangleSink;
struct AnimationKeys;

constexpr int kMaxLinks = 16;
constexpr int kModelSlots = 32;

struct BoneLinks {
    std::int32_t bone[kMaxLinks];
    float weight[kMaxLinks];
    BoneLinks()
    {
        for (int i = 0; i < kMaxLinks; ++i) {
            bone[i] = -1;
            weight[i] = 0.0f;
        }
    }
};

struct BoneLink {
    std::int32_t bone = 0;
    float weight = 0.0f;
};

struct SmdVertex {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    float u = 0.0f;
    float v = 0.0f;   // 1 - the file's v
};
static_assert(sizeof(SmdVertex) == 32, "one vertex of the drawing's vertex buffer");

using SmdNode = SkeletonNode;
using SmdAnimation = SkeletonAnimation;

// The links of a triangle's corners live in the mesh's link pool (a real mesh
// has one to four links a corner, not sixteen); linkStart says where.
struct SmdTriangle {
    std::int32_t material = 0;
    std::int32_t vertexBone[3] = {0, 0, 0};
    SmdVertex vertices[3];
    std::int32_t linkCount[3] = {0, 0, 0};
    std::uint32_t linkStart[3] = {0, 0, 0};
};

class SmdMesh {
public:
    bool allocateNodes(std::int32_t count);
    bool allocateTriangles(std::int32_t count);
    void applyAxis(const Matrix& axis);
    void release();

    // The 16-slot link block of a corner: its links, then bone 0 weight 0.
    BoneLinks cornerLinks(std::int32_t triangle, int corner) const;
    std::span<const BoneLink> links(std::int32_t triangle, int corner) const
    {
        const SmdTriangle& t = triangles[static_cast<std::size_t>(triangle)];
        return {linkPool.data() + t.linkStart[corner], static_cast<std::size_t>(t.linkCount[corner])};
    }

    std::int32_t vertexCount = 0;
    std::int32_t nodeCount = 0;
    std::vector<SmdNode> nodes;
    std::int32_t triangleCount = 0;
    std::vector<SmdTriangle> triangles;
    std::vector<BoneLink> linkPool;
    // The corners carried into their bones' space, three a triangle in corner
    // order; only a model that is drawn has them (the converter writes the
    // file's own positions).
    std::vector<SmdVertex> bindVertices;
    // One path a material, the model's folder joined to its name.
    std::vector<std::string> texturePaths;
    std::int32_t textureCount = 0;
};

// The cores there are, at most 4 (reading is bound by memory beyond that).
int defaultReaderThreads();

// Results of the SMD readers. Scoped, so that one is never compared with an
// engine reader's result by accident; the names are brought out for brevity.
enum class SmdReadResult : int {
    kSmdRead = 0,
    kSmdNotSmd = 1,        // header refused
    kSmdWrongKind = 2,     // a reference with frames, an animation with triangles
    kSmdMalformed = 3,     // a line the reader cannot use; see diagnostic
    kSmdNoFreeSlot = 4,    // 32 meshes or animations already
    kSmdNodesDiffer = 5,   // an animation whose nodes are too few of the model's
    kSmdCannotOpen = 6,    // the file could not be opened; see diagnostic
};
using enum SmdReadResult;

// The system's own message for a refused SMD file, shown above its
// diagnostic line; null when the diagnostic says it all.
const char* smdRefusalMessage(SmdReadResult result, bool reference);
// What a loader shows for a read: nothing when it succeeded or the file could
// not be opened, the "Error" box otherwise. True when the read succeeded.
bool reportSmdRead(SmdReadResult result, const Diagnostic& diagnostic, bool reference);

class SmdModelRecords {
public:
    SmdModelRecords();
    ~SmdModelRecords();
    SmdModelRecords(const SmdModelRecords&) = delete;
    SmdModelRecords& operator=(const SmdModelRecords&) = delete;
    void destroy();

    // Read a file into the next slot and show what reportSmdRead shows; false
    // when it could not be opened (no box) or was refused (box shown).
    // diagnostic says why in both cases.
    bool loadReference(const std::string& path);
    bool loadAnimation(const std::string& path);
    bool loadAnimationKeys(const std::string& path, AnimationKeys& keys);
    // The same from a buffer already in memory; displayName names it in
    // diagnostics and gives the texture folder.
    bool loadReferenceFromMemory(std::string_view text, const std::string& displayName);
    bool loadAnimationFromMemory(std::string_view text, const std::string& displayName);
    bool loadAnimationKeysFromMemory(std::string_view text, const std::string& displayName, AnimationKeys& keys);

    // Read a file into the next slot, posed (see buildPoseMatrices): the
    // result and diagnostic say how it went; nothing is shown.
    SmdReadResult readReferenceFile(const std::string& path);
    SmdReadResult readAnimationFile(const std::string& path);
    // An animation read as the file numbers its nodes into keys (see
    // AnimationKeys.h), for writing it out again: the same counts logged and
    // the same refusals as readAnimationFile, and no slot taken.
    SmdReadResult readAnimationKeysFile(const std::string& path, AnimationKeys& keys);

    // The same from a buffer already in memory; displayName names it in
    // diagnostics and gives the texture folder.
    SmdReadResult readReference(std::string_view text, const std::string& displayName);
    SmdReadResult readAnimation(std::string_view text, const std::string& displayName);
    // The same over lines read from a file or a buffer.
    SmdReadResult readReference(LineCursor& lines, const std::string& displayName);
    SmdReadResult readAnimation(LineCursor& lines, const std::string& displayName);
    SmdReadResult readAnimationKeys(LineCursor& lines, const std::string& displayName, AnimationKeys& keys);

    // The converter writes the file's own numbers and needs neither the bind
    // vertices of a reference nor the matrices of every animation frame.
    bool buildPoseMatrices = true;
    // With a sink, a reference's triangles are handed to it as they are read
    // (see TriangleSink.h) and the mesh keeps none: for a model that is
    // converted, not drawn.
    TriangleSink* triangleSink = nullptr;
    // A triangles section of at least two shares of minimumShare triangles is
    // read by up to readerThreads threads (1: in order on the caller's). A
    // sink is handed blocks of an eighth of a share (by default under a
    // megabyte of text and of table: fresh memory is what costs).
    int readerThreads = defaultReaderThreads();
    std::int32_t minimumShare = 16384;

    std::string token;
    std::int32_t headerValue = 0;
    Matrix axisMatrix;
    std::int32_t nodeCount = 0;
    std::int32_t frameCount = 0;
    std::int32_t materialCount = 0;
    std::int32_t triangleCount = 0;
    std::vector<std::string> materialNames;
    std::string modelDirectory;
    std::int32_t meshCount = 0;
    std::array<SmdMesh, kModelSlots> meshes;
    bool hasMesh = false;
    std::int32_t animationCount = 0;
    std::int32_t currentAnimation = 0;
    std::array<SmdAnimation, kModelSlots> animations;
    bool hasAnimation = false;

    Diagnostic diagnostic;   // why the last read failed
};

// The folder part of a path with its trailing separator ('\' first, then '/'),
// or the whole path when it has neither.
std::string directoryOf(const std::string& path);

} // namespace veskar
