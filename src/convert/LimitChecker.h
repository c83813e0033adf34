#pragma once
// The limits of one target held against a model as its lines go by.

#include "convert/EngineLimits.h"
#include "convert/ModelLineScan.h"
#include "import/Skeleton.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <set>
#include <vector>

namespace veskar {

class CornerWelder;

// A count of 0 is no limit.
struct EngineLimitTable {
    const char* who;                  // the program that refuses or changes, for the messages
    std::int64_t nodes;               // nodes a file may declare
    const char* nodesWhy;
    std::int64_t bones;               // bones the compiled model may have
    bool bonesByVertices;             // counted: the vertices' bones and their parents; otherwise every node
    const char* bonesWhy;
    std::size_t nameLength;           // of a node name
    const char* nameWhy;
    std::int32_t links;               // a vertex's links; 0: none, only its parent bone counts
    const char* linksWhy;
    std::int64_t vertices;            // distinct vertices of a model
    bool verticesByBonePosition;      // told apart by parent bone and position to 1/100; otherwise as welded
    const char* verticesWhy;
    std::int64_t triangles;
    const char* trianglesWhy;
    std::int64_t materials;
    const char* materialsWhy;
    std::size_t materialLength;
    const char* materialLengthWhy;
    const char* extension;            // the one texture kind read, or null
    const char* extensionWhy;
    std::int64_t frames;              // of an animation
    const char* framesWhy;
    std::size_t lineLength;           // of an mRef line
    const char* lineLengthWhy;
};

const EngineLimitTable& engineLimitTable(EngineTarget target);

class LimitChecker final : public ModelLineVisitor {
public:
    // nodes: the file's node table as its reader made it; welder: an SMD
    // reference's welded vertices, whose mRef lines are measured (without
    // one, a vertex line's own length is).
    LimitChecker(const EngineLimitTable& limits, const std::string& file, std::span<const SkeletonNode> nodes, const CornerWelder* welder);

    void node(const ScannedNode& n) override;
    void material(long line, std::string_view name, std::string_view where = {}) override;
    void triangle(long line, std::string_view where = {}) override;
    void vertex(const ScannedVertex& v) override;
    void frame(long line, std::int32_t number, std::string_view where = {}) override;

    // The findings in line order.
    std::vector<std::string> finish();

private:
    enum Kind { kNodes, kBones, kName, kLinks, kVertices, kTriangles, kMaterials, kMaterialName, kExtension, kFrames, kLine, kKinds };
    struct At {
        long line = 0;
        std::string where;   // for a file without lines
    };
    struct Finding {
        At at;
        Kind kind;
        std::string what;
    };
    void note(Kind kind, At at, std::string what);
    void crossed(Kind kind, At at);
    void useBone(std::int32_t bone, const At& at);
    void linksOf(const ScannedVertex& v);
    void countVertex(const ScannedVertex& v);
    std::string countMessage(Kind kind) const;

    const EngineLimitTable& limits_;
    std::string file_;
    std::span<const SkeletonNode> nodes_;
    const CornerWelder* welder_;
    std::vector<Finding> findings_;
    std::array<std::int64_t, kKinds> seen_{};   // lines of each kind found
    std::array<At, kKinds> crossedAt_{};        // where a count went over its limit
    std::array<bool, kKinds> crossed_{};
    std::vector<bool> used_;
    std::int64_t usedBones_ = 0;
    std::int64_t materials_ = 0, triangles_ = 0, frames_ = 0, welded_ = 0;
    std::string firstMaterial_, extraMaterial_;
    std::set<std::array<std::int32_t, 4>> bonePositions_;   // up to the first over the limit
};

} // namespace veskar
