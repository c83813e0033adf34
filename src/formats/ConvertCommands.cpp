// The two convert commands: SMD reference -> mRef, SMD animation -> mAni,
// written beside the source.

#include "formats/FormatConverter.h"
#include "import/ConsoleLog.h"
#include "import/TriangleSink.h"
#include "platform/PrintableName.h"

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
        } catch (const std::bad_alloc&) {
            return kNoMemory;
        }
        return welder_.expect(triangleCount) ? std::string() : kNoMemory;
    }
    void prepare(std::size_t lane, std::span<const SmdTriangle> triangles, std::span<const BoneLink> links,
                 std::span<const std::int64_t> repeats) override
    {
        prepared_[lane].ok = prepared_[lane].corners.prepare(triangles, links, repeats);
    }
    std::string take(std::size_t lane) override
    {
        return prepared_[lane].ok && welder_.add(prepared_[lane].corners) ? std::string() : kNoMemory;
    }

private:
    static constexpr const char* kNoMemory = "not enough memory to weld the vertices";
    struct Lane {
        PreparedCorners corners;
        bool ok = false;
    };
    CornerWelder& welder_;
    std::vector<Lane> prepared_;
};

} // namespace

bool FormatConverter::loadWelded(const std::function<bool(SmdModel&)>& load)
{
    smdModel->buildPoseMatrices = false;
    welder.clear();
    WeldingSink sink(welder);
    smdModel->triangleSink = &sink;
    const bool loaded = load(*smdModel);
    smdModel->triangleSink = nullptr;
    if (!loaded) {
        diagnostic = smdModel->diagnostic;
        return false;
    }
    finishWelding();
    return true;
}

bool FormatConverter::loadWelded(const std::string& path)
{
    return loadWelded([&path](SmdModel& model) { return model.loadReference(path); });
}

bool FormatConverter::loadWeldedFromMemory(std::string_view text, const std::string& displayName)
{
    return loadWelded([&](SmdModel& model) { return model.loadReferenceFromMemory(text, displayName); });
}

bool FormatConverter::convertReference(const std::string& path)
{
    diagnostic.clear();
    materialWarning.clear();
    if (!nameOutput(path, "mRef")) return false;
    consoleLog().print("[Ref] %s\n", printableName(outputName).c_str());
    smdModel.reset();
    smdModel = std::make_unique<SmdModel>(device);
    if (!loadWelded(path)) return false;
    nodeCount = smdModel->meshes[0].nodeCount;
    textureName = smdModel->materialNames.empty() ? std::string() : smdModel->materialNames[0];
    // The table lists a name once per run of triangles; count each once.
    const std::set<std::string> materials(smdModel->materialNames.begin(), smdModel->materialNames.end());
    if (materials.size() > 1)
        materialWarning = "warning: " + printableName(path) + " has " + std::to_string(materials.size()) +
                          " materials, but an mRef names one texture: " + printableName(outputName) + " keeps " + printableName(textureName);
    return writeReference();
}

bool FormatConverter::convertAnimation(const std::string& path)
{
    diagnostic.clear();
    if (!nameOutput(path, "mAni")) return false;
    consoleLog().print("[Ani] %s\n", printableName(outputName).c_str());
    smdModel.reset();
    smdModel = std::make_unique<SmdModel>(device);
    smdModel->buildPoseMatrices = false;
    if (!smdModel->loadAnimationKeys(path, animationKeys)) {
        diagnostic = smdModel->diagnostic;
        return false;
    }
    return writeAnimation();
}

} // namespace veskar
