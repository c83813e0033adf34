#include "convert/FormatConverter.h"
#include "mref/ChunkedText.h"
#include "mref/SkeletonText.h"

#include <algorithm>
#include <vector>

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
        const std::size_t frames = hasKeys ? static_cast<std::size_t>(keys.frameCount) : 0;
        // About kChunkText a chunk: a bone line comes to about 70 bytes.
        const std::size_t framesAChunk = std::max<std::size_t>(1, kChunkText / 72 / static_cast<std::size_t>(std::max(1, keys.nodeCount)));
        putChunked(out, frames, framesAChunk, [&keys](TextWriter& to, std::size_t begin, std::size_t end) {
            // A bone's numbers as its last frame in this chunk wrote them.
            std::vector<RepeatedFloats> kept(static_cast<std::size_t>(keys.nodeCount));
            for (auto t = static_cast<std::int32_t>(begin); t < static_cast<std::int32_t>(end); ++t) {
                to.put("time ").putInt(t).put('\n');
                for (std::int32_t n = 0; n < keys.nodeCount; ++n) {
                    const auto key = keys.key(t, n);
                    const float pose[6] = {key[0], key[1], key[2], key[3], key[4], key[5]};
                    to.putInt(n, 3).putFloatsRepeating(pose, kept[static_cast<std::size_t>(n)]).put('\n');
                }
            }
        });
        out.put("end\n");
    });
}

} // namespace veskar
