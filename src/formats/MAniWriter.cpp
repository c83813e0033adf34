#include "formats/FormatConverter.h"
#include "formats/SkeletonText.h"

namespace veskar {

bool FormatConverter::writeAnimation()
{
    return writeOutput("animation keys", validateAnimation(), [this](TextWriter& out) {
        const AnimationKeys& keys = animationKeys;
        const bool hasKeys = keys.frameCount > 0 && keys.nodeCount > 0;
        out.put("version 1\nani\n");
        out.put("node ").putInt(keys.nodeCount).put('\n');
        out.put("time ").putInt(keys.frameCount).put('\n');
        out.put("nodes\n");
        for (std::int32_t n = 0; n < keys.nodeCount && hasKeys; ++n)
            putNodeLine(out, n, keys.names[static_cast<std::size_t>(n)], keys.parents[static_cast<std::size_t>(n)]);
        out.put("end\nskeleton\n");
        for (std::int32_t t = 0; t < keys.frameCount && hasKeys; ++t) {
            out.put("time ").putInt(t).put('\n');
            for (std::int32_t n = 0; n < keys.nodeCount; ++n) {
                const auto key = keys.key(t, n);
                const float pose[6] = {key[0], key[1], key[2], key[3], key[4], key[5]};
                putBoneLine(out, n, 3, pose);
            }
            out.spill();
        }
        out.put("end\n");
    });
}

} // namespace veskar
