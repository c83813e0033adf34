#pragma once
// One converted model read from an mRef file, with the mAni animation loaded
// onto it, ready for drawing.

#include "mref/EngineVertex.h"
#include "import/Diagnostic.h"
#include "import/Skeleton.h"
#include "gpu/Effect.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veskar {

class Device;
class IndexBuffer;
class LineCursor;
class Texture;
class VertexBuffer;

using EngineNode = SkeletonNode;
using EngineAnimation = SkeletonAnimation;

constexpr std::int32_t kNoBone = -1;

class EngineMesh {
public:
    bool allocateNodes(std::int32_t count);
    bool allocateVertices(std::int32_t count);
    bool allocateTriangles(std::int32_t count);
    bool loadTexture(Device* device, const std::string& directory, const std::string& name);
    bool createRestBuffer(Device* device);
    bool createBindBuffer(Device* device);
    bool createIndexBuffer(Device* device);
    void applyAxisMatrix(const Matrix& axis);
    void release();

    VertexBuffer* restBuffer = nullptr;
    VertexBuffer* bindBuffer = nullptr;
    IndexBuffer* indexBuffer = nullptr;
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
    std::string texturePath;
    Texture* texture = nullptr;
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
};
using enum EngineReadResult;

class EngineModel {
public:
    explicit EngineModel(Device* device);
    ~EngineModel();
    EngineModel(const EngineModel&) = delete;
    EngineModel& operator=(const EngineModel&) = delete;
    void destroy();

    // Read a file into the next mesh slot / the animation; false when it could
    // not be opened (no box) or was refused (box shown). diagnostic says why.
    bool loadReference(const std::string& path);
    bool loadAnimation(const std::string& path);
    bool loadReferenceFromMemory(std::string_view text, const std::string& displayName);
    bool loadAnimationFromMemory(std::string_view text, const std::string& displayName);
    // Read, prepare and (with a device) upload, showing nothing.
    EngineReadResult readReference(std::string_view text, const std::string& displayName);
    EngineReadResult readAnimation(std::string_view text, const std::string& displayName);
    // The same over lines read from a file or a buffer.
    EngineReadResult readReference(LineCursor& lines, const std::string& displayName);
    EngineReadResult readAnimation(LineCursor& lines, const std::string& displayName);

    // The model effect head (see ModelEffect.h): the device the model draws
    // with, and its own instance of the shading effect.
    Device* device = nullptr;
    Effect* effect = nullptr;
    EffectHandle technique = kNullHandle;

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

    Diagnostic diagnostic;   // why the last load failed
};

} // namespace veskar
