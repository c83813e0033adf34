// SMD animation reader on arbitrary bytes. An animation that loads must write
// as mAni and read back onto a model of its node count with the same frames.

#include "FuzzSupport.h"

#include "formats/EngineModel.h"
#include "formats/FormatConverter.h"
#include "platform/InputFile.h"
#include "import/SmdModel.h"
#include "platform/MemoryDevice.h"

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace veskar;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string name = fuzz::emptyFolder() + "/walk.smd";
    fuzz::boxes().boxes.clear();
    MemoryDevice device;

    FormatConverter converter(&device);
    // The effect is the same file on every run; the model is made without it
    // and then given the device, so the time goes to the reader, which still
    // creates its buffers and textures on the device.
    converter.smdModel = std::make_unique<SmdModel>(nullptr);
    SmdModel& model = *converter.smdModel;
    model.device = &device;
    if (!model.loadAnimationFromMemory(text, name)) {
        fuzz::checkRefusal(model.diagnostic, text, name);
        VESKAR_FUZZ_CHECK(model.animationCount == 0 && !model.hasAnimation && !model.animations[0].hasFrames(),
                          "a refused file left an animation");
        return 0;
    }
    const SmdAnimation& animation = model.animations[0];
    VESKAR_FUZZ_CHECK(model.animationCount == 1 && animation.hasFrames(), "a loaded file left no animation");
    VESKAR_FUZZ_CHECK(animation.frameCount == model.frameCount && animation.nodeCount == model.nodeCount, "frame table size");

    converter.sourceDirectory = fuzz::outputFolder() + "/";
    converter.outputName = "walk.mAni";
    VESKAR_FUZZ_CHECK(converter.writeAnimation(), converter.diagnostic.text());

    std::string written, reason;
    VESKAR_FUZZ_CHECK(readWholeFile(converter.outputPath, written, reason), reason);
    EngineModel engine(nullptr);
    engine.nodeCount = animation.nodeCount;
    const EngineReadResult r = engine.readAnimation(written, converter.outputPath);
    VESKAR_FUZZ_CHECK(r == kEngineRead, engine.diagnostic.text());
    VESKAR_FUZZ_CHECK(engine.animations[0].frameCount == animation.frameCount && engine.animations[0].nodeCount == animation.nodeCount,
                      "the mAni read back has other counts");
    return 0;
}
