#include "formats/FormatConverter.h"
#include "formats/TextWriter.h"
#include "platform/AtomicFile.h"

namespace veskar {

bool FormatConverter::writeAnimation()
{
    outputPath = sourceDirectory + outputName;
    const SmdAnimation& animation = smdModel->animations[0];
    AtomicFile file;
    std::string reason;
    if (!file.create(outputPath, reason)) {
        diagnostic = {outputPath, 0, reason};
        return false;
    }
    TextWriter out;
    out.reserve(kOutputPiece + 4096);
    out.put("version 1\nani\n");
    out.put("node ").putInt(animation.nodeCount).put('\n');
    out.put("time ").putInt(animation.frameCount).put('\n');
    out.put("nodes\n");
    if (animation.hasFrames()) {
        const auto first = animation.frame(0);
        for (std::int32_t i = 0; i < animation.nodeCount; ++i)
            out.putInt(i).put(" \"").put(first[static_cast<std::size_t>(i)].name).put("\" ").putInt(first[static_cast<std::size_t>(i)].parent).put('\n');
    }
    out.put("end\nskeleton\n");
    for (std::int32_t t = 0; t < animation.frameCount && animation.hasFrames(); ++t) {
        out.put("time ").putInt(t).put('\n');
        const auto frame = animation.frame(t);
        for (std::int32_t j = 0; j < animation.nodeCount; ++j) {
            const SmdNode& node = frame[static_cast<std::size_t>(j)];
            out.putInt3(j);
            for (float p : node.position) out.put(' ').putFloat(p);
            for (float r : node.rotation) out.put(' ').putFloat(r);
            out.put('\n');
        }
        if (out.size() >= kOutputPiece) out.drainTo(file);
    }
    out.put("end\n");
    out.drainTo(file);
    if (!file.commit(reason)) {
        diagnostic = {outputPath, 0, reason};
        return false;
    }
    return true;
}

} // namespace veskar
