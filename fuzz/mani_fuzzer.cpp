// mAni reader on arbitrary bytes, twice: onto a model that holds a small mRef
// and an earlier animation (a refusal must keep that animation), and onto a
// model whose node count is the file's own, so the deeper checks are reached.

#include "FuzzSupport.h"

#include "mref/EngineFormatScan.h"
#include "mref/EngineRecords.h"

#include <cstddef>
#include <cstdint>

using namespace veskar;

namespace {

const char kReference[] =
    "version 1\nref\nskin.bmp\nnode 3\nvertex 3\nindex 1\n"
    "nodes\n0 \"Bip01\" -1\n1 \"Bip01 Spine\" 0\n2 \"Bip01 L Hand\" 1\nend\n"
    "skeleton\ntime 0\n  0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\n"
    "  1 0.000000 0.000000 10.000000 0.000000 0.000000 0.000000\n"
    "  2 5.000000 0.000000 0.000000 0.000000 1.570796 0.000000\nend\n"
    "vertices\n0 0.0 0.0 0.0 0.0 0.0 1.0 0.0 0.0 1 0 1.000000\n"
    "1 1.0 0.0 10.0 0.0 0.0 1.0 1.0 0.0 2 0 0.500000 1 0.500000\n"
    "2 5.0 1.0 10.0 0.0 0.0 1.0 1.0 1.0 1 2 1.000000\nend\n"
    "indices\n0 1 2\nend\n";

const char kAnimation[] =
    "version 1\nani\nnode 3\ntime 2\nnodes\n0 \"Bip01\" -1\n1 \"Bip01 Spine\" 0\n2 \"Bip01 L Hand\" 1\nend\nskeleton\n"
    "time 0\n  0 0 0 0 0 0 0\n  1 0 0 10 0 0 0\n  2 5 0 0 0 1.5 0\n"
    "time 1\n  0 0 0 1 0 0 0\n  1 0 0 10 0.5 0 0\n  2 5 0 0 0 1.5 0.5\nend\n";

// The number on the third line, as the node count of a model the file fits.
bool nodeLine(std::string_view text, std::int32_t& nodes)
{
    LineCursor cursor(text);
    std::string_view line;
    if (!cursor.next(line) || !cursor.next(line)) return false;
    std::string word;
    return readHeaderLine(cursor, word, nodes) == HeaderLine::Ok;
}

} // namespace

VESKAR_FUZZ_TARGET("walk.mAni")
{
    EngineModelRecords model;
    VESKAR_FUZZ_CHECK(model.loadReferenceFromMemory(kReference, fuzz::emptyFolder() + "/model.mRef"), model.diagnostic.text());
    VESKAR_FUZZ_CHECK(model.loadAnimationFromMemory(kAnimation, name), model.diagnostic.text());
    if (model.loadAnimationFromMemory(text, name)) {
        // Each animation takes the next slot; the earlier one stays as it was.
        const EngineAnimation& added = model.animations[1];
        VESKAR_FUZZ_CHECK(model.animationCount == 2 && added.nodeCount == 3 && added.frameCount == model.frameCount && added.hasFrames() &&
                              model.animations[0].frameCount == 2,
                          "frame table size");
    } else {
        fuzz::checkRefusal(model.diagnostic, text, name);
        VESKAR_FUZZ_CHECK(model.animationCount == 1 && model.animations[0].frameCount == 2 && model.animations[0].nodeCount == 3 &&
                              model.animations[0].hasFrames(),
                          "a refused file did not keep the earlier animation");
    }

    std::int32_t nodes = 0;
    if (!nodeLine(text, nodes)) return 0;
    EngineModelRecords fitting;
    fitting.nodeCount = nodes;
    const EngineReadResult r = fitting.readAnimation(text, name);
    if (r == kEngineRead) {
        VESKAR_FUZZ_CHECK(fitting.animationCount == 1 && fitting.animations[0].nodeCount == nodes &&
                              fitting.animations[0].frameCount == fitting.frameCount && fitting.animations[0].hasFrames(),
                          "frame table size");
    } else {
        fuzz::checkRefusal(fitting.diagnostic, text, name);
        VESKAR_FUZZ_CHECK(fitting.animationCount == 0 && !fitting.animations[0].hasFrames(), "a refused file left an animation");
    }
    return 0;
}
