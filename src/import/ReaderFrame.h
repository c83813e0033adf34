#pragma once
// The frame the four model readers are built on (SMD reference, SMD
// animation, mRef, mAni): a reader walks the lines of one file into records
// and stops at the first line it cannot use with a refusal that names the file
// and the line. It shows nothing and logs nothing; what a refusal becomes (a
// box, a line on standard error) is its caller's choice.

#include "import/Diagnostic.h"
#include "import/LineCursor.h"
#include "import/NodeNumbers.h"
#include "import/Skeleton.h"
#include "import/TextScan.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace veskar {

struct BoneLink;

// What a read found that the steps after it depend on.
struct ReadSummary {
    // The node and frame counts are known; they are logged even for a file
    // refused after they were taken.
    bool counted = false;
    // The file's own node count, once counted (an mAni's may differ from
    // its model's).
    std::int32_t nodeCount = 0;
    // A reference had a "triangles" section, so its bind pose and axis change
    // are due (also for an empty one).
    bool triangleSection = false;
};

// A node line: number, name in double quotes, parent.
struct NodeLine {
    std::int32_t number = 0;
    std::string_view name;
    std::int32_t parent = -1;
};

// A bone line: node number and x, y, z, rx, ry, rz.
struct BoneLine {
    std::int32_t number = 0;
    float values[6] = {0, 0, 0, 0, 0, 0};
};

// The eight numbers of a vertex line into a vertex: position, normal, u, and
// v turned upside down (1 - v), as the drawing's texture coordinates run.
template <typename Vertex>
void storeVertexValues(const float (&f)[8], Vertex& v)
{
    v.position[0] = f[0];
    v.position[1] = f[1];
    v.position[2] = f[2];
    v.normal[0] = f[3];
    v.normal[1] = f[4];
    v.normal[2] = f[5];
    v.u = f[6];
    v.v = 1.0f - f[7];
}

// A number that is no finite float (nan, inf, or beyond float's range like
// 1e39) is refused at its line by every reader: a position or an angle that
// is not finite leaves a model that draws nothing, and a weight that is not
// finite skins nothing.
constexpr const char* kNotFiniteText = "not a finite number";
inline bool allFinite(const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

// Why a line cannot be used, or empty when it can. Node numbers and parents
// must lie below nodeCount (a parent may also be -1).
std::string checkNodeLine(std::string_view line, std::int32_t nodeCount, NodeLine& node);
enum class BoneScan { Ok, Short, Outside, NotFinite };
BoneScan scanBoneLine(std::string_view line, std::int32_t nodeCount, BoneLine& bone);
// A bone line in the plain shape (a node number and six plain decimals)
// straight from its fields, as scanBoneLine reads it; false for any other
// line, or one to refuse. A plain decimal is short enough to be always
// finite: nan, inf and 1e39 are never plain and go the general way, which
// refuses them. The line needs kScanSlack readable bytes after it.
bool readPlainBoneLine(std::string_view line, std::int32_t nodeCount, BoneLine& bone);
bool readPlainBoneLine(std::string_view line, const NodeNumbers& numbers, BoneLine& bone);
// The k-th of linkCount bone and weight pairs of a vertex line.
std::string checkLinkPair(FieldScanner& scan, std::int32_t nodeCount, std::int32_t k, std::int32_t linkCount, BoneLink& link);

// The same for files whose node numbers are names (SMD): every number must be
// one the nodes section declares, and becomes its node's place. A bone line
// refused as Outside keeps the file's number.
std::string checkNodeLine(std::string_view line, const NodeNumbers& numbers, NodeLine& node);
BoneScan scanBoneLine(std::string_view line, const NodeNumbers& numbers, BoneLine& bone);
std::string checkLinkPair(FieldScanner& scan, const NodeNumbers& numbers, std::int32_t k, std::int32_t linkCount, BoneLink& link);

std::string nodeOutsideText(std::int32_t number, std::int32_t nodeCount);
std::string nodeOutsideText(std::int32_t number, const NodeNumbers& numbers);

// A file whose reading needs more memory than there is is refused with this,
// as any other bad file: the next file is taken.
constexpr const char* kNoMemoryToReadText = "not enough memory to read the file";

template <typename Result, Result kReadCode, Result kMalformedCode>
class ReaderFrame {
public:
    // The refusal of a read that ran out of memory (an allocation failed
    // somewhere below run()).
    Result refuseForMemory() { return refuseAs(kMalformedCode, 0, kNoMemoryToReadText); }

protected:
    ReaderFrame(LineCursor& cursor, const std::string& file, Diagnostic& diagnostic)
        : cursor_(cursor), file_(file), diagnostic_(diagnostic)
    {
    }

    static constexpr Result kRead = kReadCode;

    // The file is refused with code for what at line (0: the whole file).
    // Lines that ended early (a line too long, a zero byte, a failed read)
    // are the reason for whatever the reader then finds wrong, at their line.
    Result refuseAs(Result code, long line, const std::string& what)
    {
        const std::string& failure = cursor_.failure();
        diagnostic_ = failure.empty() ? Diagnostic{file_, line, what} : Diagnostic{file_, cursor_.lineNumber(), failure};
        return code;
    }
    Result refuse(const std::string& what, long line) { return refuseAs(kMalformedCode, line, what); }
    Result refuse(const std::string& what) { return refuse(what, cursor_.lineNumber()); }
    Result refuseIf(const std::string& why) { return why.empty() ? kRead : refuse(why); }
    // Lines that ended early; after a loop over them this turns that into a
    // refusal.
    Result checkCursor() { return cursor_.failure().empty() ? kRead : refuse(cursor_.failure()); }
    Result refuseFullModel(Result code, int slots, const char* what)
    {
        return refuseAs(code, 0, "this model already holds " + std::to_string(slots) + " " + what);
    }

    // Nodes is a node count, or the NodeNumbers of a file that names its nodes.
    template <typename Nodes>
    Result readNodeLine(std::string_view line, const Nodes& nodes, NodeLine& node)
    {
        return refuseIf(checkNodeLine(line, nodes, node));
    }
    template <typename Nodes>
    Result readBoneLine(std::string_view line, const Nodes& nodes, BoneLine& bone)
    {
        if (cursor_.slackAfter(line) && readPlainBoneLine(line, nodes, bone)) return kRead;
        switch (scanBoneLine(line, nodes, bone)) {
        case BoneScan::Ok: break;
        case BoneScan::Short: return refuse("a bone line needs a node number and six numbers");
        case BoneScan::Outside: return refuse(nodeOutsideText(bone.number, nodes));
        case BoneScan::NotFinite: return refuse(kNotFiniteText);
        }
        return kRead;
    }
    // World matrices of a node table, refused when its parents loop.
    Result composeWorld(std::span<SkeletonNode> nodes)
    {
        std::int32_t bad = 0;
        if (composeWorldMatrices(nodes, bad)) return kRead;
        return refuse("the parents of node " + std::to_string(bad) + " form a loop", 0);
    }
    // A section whose header gave its line count: each line up to "end" goes
    // to each(line, index), which returns kRead to go on; lines counts them,
    // and one more than count is refused as "more <item> lines than the
    // <header> line says (count)". A first line whose word is skipFirst is
    // passed over uncounted.
    template <typename Each>
    Result readCountedSection(std::int32_t& lines, std::int32_t count, const char* item, const char* header, Each each,
                              const char* skipFirst = nullptr)
    {
        lines = 0;
        std::string_view line;
        for (bool first = true; cursor_.next(line); first = false) {
            const std::string_view word = firstWord(line);
            if (equalsIgnoringCase(word, "end")) return kRead;
            if (first && skipFirst && equalsIgnoringCase(word, skipFirst)) continue;
            if (lines >= count)
                return refuse(std::string("more ") + item + " lines than the " + header + " line says (" + std::to_string(count) + ")");
            if (const Result r = each(line, lines++); r != kRead) return r;
        }
        return kRead;
    }

    LineCursor& cursor_;
    const std::string& file_;
    Diagnostic& diagnostic_;
};

// A reader of one file into a model: the frame, the model it fills (its
// diagnostic, cleared as the read starts, takes the refusal) and what it
// found for the steps after it.
template <typename Model, typename Result, Result kReadCode, Result kMalformedCode>
class ModelReader : public ReaderFrame<Result, kReadCode, kMalformedCode> {
protected:
    ModelReader(Model& model, LineCursor& lines, const std::string& file, ReadSummary& summary)
        : ReaderFrame<Result, kReadCode, kMalformedCode>(lines, file, model.diagnostic), model_(model), summary_(summary)
    {
        model.diagnostic.clear();
    }

    Model& model_;
    ReadSummary& summary_;
};

// Every reader is made over what it reads and run once. An allocation that
// fails on the file's behalf (a table, a name, a pool that grows) refuses
// the file.
template <typename Reader, typename... Args>
auto runReader(Args&&... args)
{
    Reader reader(std::forward<Args>(args)...);
    try {
        return reader.run();
    } catch (const std::bad_alloc&) {
        return reader.refuseForMemory();
    }
}

// Opens a model file to be read line by line; false, with why in
// diagnostic, when it cannot be opened.
bool openModelFile(LineCursor& lines, const std::string& path, Diagnostic& diagnostic);

// Opens path as Input and hands it to read; cannotOpen, with why in
// diagnostic, when it cannot be opened.
template <typename Input, typename Result, typename Read>
Result readModelFile(const std::string& path, Diagnostic& diagnostic, Result cannotOpen, Read read)
{
    Input input;
    diagnostic.clear();
    if (!openModelFile(input, path, diagnostic)) return cannotOpen;
    return read(input);
}

// Shows the "Error" box for a refusal: the system's message above the
// diagnostic line, or the diagnostic line alone when message is null.
// Returns false, what a loader returns then.
bool showRefusal(const char* message, const Diagnostic& diagnostic);

// The two console lines of an animation read: "[Node] %d" and "[Time] %d".
void logAnimationCounts(std::int32_t nodeCount, std::int32_t frameCount);

// The box text of a model that has no free slot left.
constexpr const char* kNoFreeSlotText = "모델 슬롯이 가득 찼습니다!!";
// The box text of an animation that does not fit its model's nodes.
constexpr const char* kNodesDifferText = "Node 개수가 다릅니다!!";

} // namespace veskar
