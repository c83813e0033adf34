// SMD animation reader on arbitrary bytes. The converter's read into keys
// must refuse what the viewer's read into frame tables refuses, with the same
// text, and agree with it on what loads. An animation that loads must write as
// mAni and read back onto a model of its node count with the same frames.

#include "FuzzSupport.h"

#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"
#include "import/AnimationKeys.h"
#include "system/InputFile.h"
#include "import/SmdRecords.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

using namespace veskar;

VESKAR_FUZZ_TARGET("walk.smd")
{
    FormatConverter converter;
    converter.smdModel = std::make_unique<SmdModelRecords>();
    SmdModelRecords& model = *converter.smdModel;
    const bool loaded = model.loadAnimationFromMemory(text, name);
    const std::string tablesDiagnostic = model.diagnostic.text();
    SmdModelRecords keysModel;
    const bool keysLoaded = keysModel.loadAnimationKeysFromMemory(text, name, converter.animationKeys);
    VESKAR_FUZZ_CHECK(keysLoaded == loaded && keysModel.diagnostic.text() == tablesDiagnostic,
                      "the keys read and the tables read differ: " + keysModel.diagnostic.text() + " / " + tablesDiagnostic);
    if (!loaded) {
        fuzz::checkRefusal(model.diagnostic, text, name);
        VESKAR_FUZZ_CHECK(model.animationCount == 0 && !model.hasAnimation && !model.animations[0].hasFrames(),
                          "a refused file left an animation");
        return 0;
    }
    const SmdAnimation& animation = model.animations[0];
    VESKAR_FUZZ_CHECK(model.animationCount == 1 && animation.hasFrames(), "a loaded file left no animation");
    VESKAR_FUZZ_CHECK(animation.frameCount == model.frameCount && animation.nodeCount == model.nodeCount, "frame table size");
    const AnimationKeys& keys = converter.animationKeys;
    VESKAR_FUZZ_CHECK(keys.frameCount == animation.frameCount && keys.nodeCount == animation.nodeCount && keys.matchesCounts(), "key table size");
    for (std::int32_t f = 0; f < keys.frameCount; ++f)
        for (std::int32_t n = 0; n < keys.nodeCount; ++n) {
            const SmdNode& node = animation.frame(f)[static_cast<std::size_t>(n)];
            const auto key = keys.key(f, n);
            const float pose[6] = {node.position[0], node.position[1], node.position[2], node.rotation[0], node.rotation[1], node.rotation[2]};
            VESKAR_FUZZ_CHECK(std::memcmp(pose, key.data(), sizeof pose) == 0 && node.name == keys.names[static_cast<std::size_t>(n)] &&
                                  node.parent == keys.parents[static_cast<std::size_t>(n)],
                              "a key differs from its frame table node");
        }

    converter.sourceDirectory = fuzz::outputFolder() + "/";
    converter.outputName = "walk.mAni";
    VESKAR_FUZZ_CHECK(converter.writeAnimation(), converter.diagnostic.text());

    std::string written, reason;
    VESKAR_FUZZ_CHECK(readWholeFile(converter.outputPath, written, reason), reason);
    EngineModelRecords engine;
    engine.nodeCount = animation.nodeCount;
    const EngineReadResult r = engine.readAnimation(written, converter.outputPath);
    VESKAR_FUZZ_CHECK(r == kEngineRead, engine.diagnostic.text());
    VESKAR_FUZZ_CHECK(engine.animations[0].frameCount == animation.frameCount && engine.animations[0].nodeCount == animation.nodeCount,
                      "the mAni read back has other counts");
    return 0;
}
