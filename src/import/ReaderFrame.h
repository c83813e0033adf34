#pragma once
// The frame the four model readers are built on (SMD reference, SMD
// animation, mRef, mAni): a reader walks the lines of one file into records
// and stops at the first line it cannot use with a refusal that names the file
// and the line. It shows nothing and logs nothing; what a refusal becomes (a
// box, a line on standard error) is its caller's choice.

#include "import/Diagnostic.h"
#include "import/LineCursor.h"
#include "import/Skeleton.h"
#include "import/TextScan.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace veskar {

struct BoneLink;

// What a read found that the steps after it depend on.
struct ReadSummary {
    // The node and frame counts are known; they are logged even for a file
    // refused after they were taken.
    bool counted = false;
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

// Why a line cannot be used, or empty when it can. Node numbers and parents
// must lie below nodeCount (a parent may also be -1).
std::string checkNodeLine(std::string_view line, std::int32_t nodeCount, NodeLine& node);
enum class BoneScan { Ok, Short, Outside };
BoneScan scanBoneLine(std::string_view line, std::int32_t nodeCount, BoneLine& bone);
// The k-th of linkCount bone and weight pairs of a vertex line.
std::string checkLinkPair(FieldScanner& scan, std::int32_t nodeCount, std::int32_t k, std::int32_t linkCount, BoneLink& link);

std::string nodeOutsideText(std::int32_t number, std::int32_t nodeCount);

template <typename Result, Result kReadCode, Result kMalformedCode>
class ReaderFrame {
protected:
    ReaderFrame(LineCursor& cursor, const std::string& file, Diagnostic& diagnostic)
        : cursor_(cursor), file_(file), diagnostic_(diagnostic)
    {
    }

    static constexpr Result kRead = kReadCode;

    // The file is refused with code for what at line (0: the whole file).
    Result refuseAs(Result code, long line, const std::string& what)
    {
        diagnostic_ = {file_, line, what};
        return code;
    }
    Result refuse(const std::string& what, long line) { return refuseAs(kMalformedCode, line, what); }
    Result refuse(const std::string& what) { return refuse(what, cursor_.lineNumber()); }
    Result refuseIf(const std::string& why) { return why.empty() ? kRead : refuse(why); }
    // A read that failed ends the lines early; after a loop over them this
    // turns that into a refusal.
    Result checkCursor() { return cursor_.failure().empty() ? kRead : refuse("cannot read the file: " + cursor_.failure()); }
    Result refuseFullModel(Result code, int slots, const char* what)
    {
        return refuseAs(code, 0, "this model already holds " + std::to_string(slots) + " " + what);
    }

    Result readNodeLine(std::string_view line, std::int32_t nodeCount, NodeLine& node) { return refuseIf(checkNodeLine(line, nodeCount, node)); }
    Result readBoneLine(std::string_view line, std::int32_t nodeCount, BoneLine& bone)
    {
        switch (scanBoneLine(line, nodeCount, bone)) {
        case BoneScan::Ok: break;
        case BoneScan::Short: return refuse("a bone line needs a node number and six numbers");
        case BoneScan::Outside: return refuse(nodeOutsideText(bone.number, nodeCount));
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

    LineCursor& cursor_;
    const std::string& file_;
    Diagnostic& diagnostic_;
};

// The read -> load -> report steps a loader runs around a reader.

// Opens a model file; false, with why in diagnostic and no box, when it cannot
// be opened.
bool openModelFile(LineCursor& lines, const std::string& path, Diagnostic& diagnostic);
bool readModelFile(std::string& text, const std::string& path, Diagnostic& diagnostic);

// Shows the "Error" box for a refusal: the system's message, then the
// diagnostic line. Returns false, what the loader returns then.
bool showRefusal(const char* message, const Diagnostic& diagnostic);

// The two console lines of an animation read: "[Node] %d" and "[Time] %d".
void logAnimationCounts(std::int32_t nodeCount, std::int32_t frameCount);

// The box text of a model that has no free slot left.
constexpr const char* kNoFreeSlotText = "모델 슬롯이 가득 찼습니다!!";

} // namespace veskar
