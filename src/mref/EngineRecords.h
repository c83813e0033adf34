#pragma once
// The records of one converted model read from an mRef file, with the mAni
// animation read onto it: what the files say, prepared for drawing or kept as
// written, and nothing a device holds. The converter and the glTF export read
// into these; the viewer's EngineModel (render/EngineModel.h) adds its device
// objects on top.

#include "mref/EngineVertex.h"
#include "import/Diagnostic.h"
#include "import/Skeleton.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veskar {

class LineCursor;

using EngineNode = SkeletonNode;
using EngineAnimation = SkeletonAnimation;

constexpr std::int32_t kNoBone = -1;

class EngineMesh {
public:
    bool allocateNodes(std::int32_t count);
    bool allocateVertices(std::int32_t count);
    bool allocateTriangles(std::int32_t count);
    void applyAxisMatrix(const Matrix& axis);
    void release();

    std::int32_t nodeCount = 0;
    std::vector<EngineNode> nodes;
    std::vector<Matrix> bonePalette;
    std::int32_t vertexCount = 0;
    std::vector<EngineVertex> vertices;
    // The bind copies as skinning streams them (see SkinSource); made when the
    // vertices are read and again whenever their bind copies change.
    std::vector<SkinSource> skinSources;
    std::vector<BoneLink> skinLinks;
    std::int32_t triangleCount = 0;
    std::vector<TriangleIndices> triangles;
    // The model's folder joined to the texture name.
    std::string texturePath;
    // kNoBone when the skeleton has no node of that name.
    std::int32_t rootBone = kNoBone;
    std::int32_t handBone = kNoBone;
};

// Results of the engine format readers. Scoped, so that one is never compared
// with an SMD reader's result by accident; the names are brought out for
// brevity.
enum class EngineReadResult : int {
    kEngineRead = 0,
    kEngineNotOurFile = 1,     // first line is not "version 1"
    kEngineWrongKind = 2,      // second line is not "ref" / "ani"
    kEngineNodeCountDiffers = 3,
    kEngineMalformed = 4,      // a line the reader cannot use; see diagnostic
    kEngineNoFreeSlot = 5,
    kEngineCannotOpen = 6,     // the file could not be opened; see diagnostic
};
using enum EngineReadResult;

// The system's own message for a refused mRef or mAni file, shown above its
// diagnostic line; null when there is none (a file that cannot be opened).
const char* engineRefusalMessage(EngineReadResult result, bool reference);
// What a loader shows for a read: nothing when it succeeded or the file could
// not be opened, the "Error" box otherwise. True when the read succeeded.
bool reportEngineRead(EngineReadResult result, const Diagnostic& diagnostic, bool reference);
// An mAni is read onto a model of as many nodes as its third line gives; 0
// when the file or that line cannot be read.
std::int32_t mAniNodeCount(const std::string& path);

class EngineModelRecords {
public:
    EngineModelRecords();
    ~EngineModelRecords();
    EngineModelRecords(const EngineModelRecords&) = delete;
    EngineModelRecords& operator=(const EngineModelRecords&) = delete;
    void destroy();

    // Read a file into the next mesh slot / the animation and show what
    // reportEngineRead shows; false when it could not be opened (no box) or
    // was refused (box shown). diagnostic says why.
    bool loadReference(const std::string& path);
    bool loadAnimation(const std::string& path);
    bool loadReferenceFromMemory(std::string_view text, const std::string& displayName);
    bool loadAnimationFromMemory(std::string_view text, const std::string& displayName);

    // Read a file into the next mesh slot / the animation: the result and
    // diagnostic say how it went; nothing is shown. A refused file leaves the
    // model as it was.
    EngineReadResult readReferenceFile(const std::string& path);
    EngineReadResult readAnimationFile(const std::string& path);
    // The same from a buffer already in memory, and over lines read from a
    // file or a buffer.
    EngineReadResult readReference(std::string_view text, const std::string& displayName);
    EngineReadResult readAnimation(std::string_view text, const std::string& displayName);
    EngineReadResult readReference(LineCursor& lines, const std::string& displayName);
    EngineReadResult readAnimation(LineCursor& lines, const std::string& displayName);

    // An exporter wants the vertices as the file wrote them: false leaves
    // restVertex in model space with its links as read, and makes no bind copies.
    bool prepareForDrawing = true;

    std::string token;
    std::int32_t headerValue = 0;
    Matrix axisMatrix;
    std::string modelDirectory;
    std::int32_t nodeCount = 0;
    std::string textureName;
    std::int32_t vertexCount = 0;
    std::int32_t triangleCount = 0;
    std::int32_t frameCount = 0;
    std::int32_t meshCount = 0;
    std::array<EngineMesh, kModelSlots> meshes;
    bool hasMesh = false;
    std::int32_t animationCount = 0;
    std::array<EngineAnimation, kModelSlots> animations;
    bool hasAnimation = false;
    std::int32_t currentAnimation = 0;
    std::int32_t firstFrame = 0;

    Diagnostic diagnostic;   // why the last read failed
};

} // namespace veskar
