// The two convert commands: SMD reference -> mRef, SMD animation -> mAni,
// written beside the source.

#include "convert/FormatConverter.h"
#include "import/ConsoleLog.h"
#include "import/TriangleSink.h"
#include "base/PrintableName.h"

#include <new>
#include <set>
#include <vector>

namespace veskar {

namespace {

// A reference is welded block by block as it is read: the converter keeps
// the welded vertices, never the triangle table.
class WeldingSink final : public TriangleSink {
public:
    explicit WeldingSink(CornerWelder& welder) : welder_(welder) {}
    std::string expect(std::int32_t triangleCount, std::size_t lanes) override
    {
        try {
            prepared_.resize(lanes);
            for (Lane& lane : prepared_) lane.blocks.resize(kBlocksAhead);
        } catch (const std::bad_alloc&) {
            return kNoMemory;
        }
        return welder_.expect(triangleCount) ? std::string() : kNoMemory;
    }
    void prepare(std::size_t lane, std::span<const SmdTriangle> triangles, std::span<const BoneLink> links,
                 std::span<const std::int64_t> repeats) override
    {
        Lane& l = prepared_[lane];
        Block& block = l.blocks[l.prepared++ % kBlocksAhead];
        block.ok = block.corners.prepare(triangles, links, repeats);
    }
    std::string take(std::size_t lane) override
    {
        Lane& l = prepared_[lane];
        const Block& block = l.blocks[l.taken++ % kBlocksAhead];
        const bool added = block.ok && welder_.add(block.corners);
        // A lane with nothing waiting starts the ring again: one that hands
        // each block over as soon as it is prepared keeps using one block's
        // memory instead of touching all of them.
        if (l.taken == l.prepared) l.taken = l.prepared = 0;
        return added ? std::string() : kNoMemory;
    }
    void restart() override
    {
        welder_.clear();
        prepared_.clear();
    }

private:
    static constexpr const char* kNoMemory = "not enough memory to weld the vertices";
    struct Block {
        PreparedCorners corners;
        bool ok = false;
    };
    struct Lane {
        std::vector<Block> blocks;  // a ring of kBlocksAhead
        std::size_t prepared = 0, taken = 0;
    };
    CornerWelder& welder_;
    std::vector<Lane> prepared_;
};

} // namespace

std::string materialWarningText(const std::string& source, const std::string& outputName, const std::vector<std::string>& materialNames)
{
    // The table lists a name once per run of triangles; count each once.
    const std::set<std::string> materials(materialNames.begin(), materialNames.end());
    if (materials.size() <= 1) return {};
    return "warning: " + printableName(source) + " has " + std::to_string(materials.size()) + " materials, but an mRef names one texture: " +
           printableName(outputName) + " keeps " + printableName(materialNames[0]);
}

SmdReadResult FormatConverter::readWelded(const std::function<SmdReadResult(SmdModelRecords&)>& read)
{
    smdModel->buildPoseMatrices = false;
    welder.clear();
    WeldingSink sink(welder);
    smdModel->triangleSink = &sink;
    const SmdReadResult r = read(*smdModel);
    smdModel->triangleSink = nullptr;
    if (r != kSmdRead) {
        diagnostic = smdModel->diagnostic;
        sourceRefused = r != kSmdCannotOpen;
        refusalMessage = smdRefusalMessage(r, true);
        return r;
    }
    finishWelding();
    return r;
}

SmdReadResult FormatConverter::readWelded(const std::string& path)
{
    return readWelded([&path](SmdModelRecords& model) { return model.readReferenceFile(path); });
}

SmdReadResult FormatConverter::readWeldedFromMemory(std::string_view text, const std::string& displayName)
{
    return readWelded([&](SmdModelRecords& model) {
        model.modelDirectory = directoryOf(displayName);
        return model.readReference(text, displayName);
    });
}

bool FormatConverter::convertReference(const std::string& path)
{
    diagnostic.clear();
    sourceRefused = false;
    refusalMessage = nullptr;
    materialWarning.clear();
    if (!nameOutput(path, "mRef")) return false;
    consoleLog().print("[Ref] %s\n", printableName(outputName).c_str());
    smdModel = std::make_unique<SmdModelRecords>();
    if (readWelded(path) != kSmdRead) return false;
    nodeCount = smdModel->meshes[0].nodeCount;
    textureName = smdModel->materialNames.empty() ? std::string() : smdModel->materialNames[0];
    materialWarning = materialWarningText(path, outputName, smdModel->materialNames);
    return writeReference();
}

bool FormatConverter::convertAnimation(const std::string& path)
{
    diagnostic.clear();
    sourceRefused = false;
    refusalMessage = nullptr;
    if (!nameOutput(path, "mAni")) return false;
    consoleLog().print("[Ani] %s\n", printableName(outputName).c_str());
    smdModel = std::make_unique<SmdModelRecords>();
    smdModel->buildPoseMatrices = false;
    if (const SmdReadResult r = smdModel->readAnimationKeysFile(path, animationKeys); r != kSmdRead) {
        diagnostic = smdModel->diagnostic;
        sourceRefused = r != kSmdCannotOpen;
        refusalMessage = smdRefusalMessage(r, false);
        return false;
    }
    return writeAnimation();
}

} // namespace veskar
