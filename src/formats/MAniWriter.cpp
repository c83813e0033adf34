#include "formats/FormatConverter.h"
#include "formats/SkeletonText.h"

namespace veskar {

bool FormatConverter::writeAnimation()
{
    return writeOutput("frame tables", validateAnimation(), [this](TextWriter& out) {
        const SmdAnimation& animation = smdModel->animations[0];
        out.put("version 1\nani\n");
        out.put("node ").putInt(animation.nodeCount).put('\n');
        out.put("time ").putInt(animation.frameCount).put('\n');
        out.put("nodes\n");
        if (animation.hasFrames()) {
            const auto first = animation.frame(0);
            for (std::size_t i = 0; i < first.size(); ++i) putNode(out, i, first[i]);
        }
        out.put("end\nskeleton\n");
        for (std::int32_t t = 0; t < animation.frameCount && animation.hasFrames(); ++t) {
            out.put("time ").putInt(t).put('\n');
            const auto frame = animation.frame(t);
            for (std::size_t j = 0; j < frame.size(); ++j) putPose(out, j, frame[j]);
            out.spill();
        }
        out.put("end\n");
    });
}

} // namespace veskar
