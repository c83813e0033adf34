#include "import/ReaderFrame.h"

#include "import/ConsoleLog.h"
#include "import/FixedBoneLine.h"
#include "import/LineScan.h"
#include "import/SmdRecords.h"
#include "system/Shell.h"

namespace veskar {

namespace {

// The node number checks, over a place for each number: a node count's
// places are its numbers, a NodeNumbers table's are looked up.
struct CountedPlaces {
    std::int32_t count;
    std::int32_t place(std::int32_t n) const { return n >= 0 && n < count ? n : NodeNumbers::kUndeclared; }
};

std::string missingNodeText(std::int32_t number, const CountedPlaces& places) { return nodeOutsideText(number, places.count); }
std::string missingNodeText(std::int32_t number, const NodeNumbers& numbers) { return nodeOutsideText(number, numbers); }

template <typename Places>
std::string checkNodeLineIn(std::string_view line, const Places& places, NodeLine& node)
{
    FieldScanner scan(line);
    if (scan.readInt(node.number) != ScanStatus::Ok || !scan.readQuoted(node.name) || scan.readInt(node.parent) != ScanStatus::Ok)
        return "a node line needs a number, a name in double quotes and a parent number";
    const std::int32_t place = places.place(node.number);
    if (place == NodeNumbers::kUndeclared) return missingNodeText(node.number, places);
    if (node.parent != -1) {
        const std::int32_t parent = places.place(node.parent);
        if (parent == NodeNumbers::kUndeclared) return "parent number " + std::to_string(node.parent) + " is neither -1 nor a node number";
        node.parent = parent;
    }
    node.number = place;
    return {};
}

template <typename Places>
BoneScan scanBoneLineIn(std::string_view line, const Places& places, BoneLine& bone)
{
    FieldScanner scan(line);
    bool ok = scan.readInt(bone.number) == ScanStatus::Ok;
    for (int i = 0; ok && i < 6; ++i) ok = scan.readFloat(bone.values[i]) == ScanStatus::Ok;
    if (!ok) return BoneScan::Short;
    const std::int32_t place = places.place(bone.number);
    if (place == NodeNumbers::kUndeclared) return BoneScan::Outside;
    bone.number = place;
    return allFinite(bone.values, 6) ? BoneScan::Ok : BoneScan::NotFinite;
}

template <typename Places>
bool readPlainBoneLineIn(std::string_view line, const Places& places, BoneLine& bone)
{
    static constexpr std::uint8_t kValueFields[6] = {1, 2, 3, 4, 5, 6};
    std::int32_t number = 0;
    if (!readFixedBoneLine(line, number, bone.values)) {
        LineFields fields;
        if (!splitFields(line, fields) || fields.count < 7 || !readSmallInt(line.data(), fields, 0, number) ||
            !readDecimals(line.data(), fields, kValueFields, 6, bone.values))
            return false;
    }
    bone.number = places.place(number);
    return bone.number != NodeNumbers::kUndeclared;
}

template <typename Places>
std::string checkLinkPairIn(FieldScanner& scan, const Places& places, std::int32_t k, std::int32_t linkCount, BoneLink& link)
{
    const ScanStatus b = scan.readInt(link.bone);
    if (b == ScanStatus::OutOfRange) return "a link bone number is far out of range";
    if (b != ScanStatus::Ok || scan.readFloat(link.weight) != ScanStatus::Ok)
        return "the link count is " + std::to_string(linkCount) + " but " + std::to_string(k) + " bone and weight pairs follow";
    const std::int32_t place = places.place(link.bone);
    if (place == NodeNumbers::kUndeclared) return "link bone " + std::to_string(link.bone) + " is not a node number";
    if (!std::isfinite(link.weight)) return kNotFiniteText;
    link.bone = place;
    return {};
}

} // namespace

std::string nodeOutsideText(std::int32_t number, std::int32_t nodeCount)
{
    return "node number " + std::to_string(number) + " is outside 0 to " + std::to_string(nodeCount - 1);
}

std::string nodeOutsideText(std::int32_t number, const NodeNumbers& numbers)
{
    // Numbers kept as places run from 0 to the count; others are names.
    return numbers.keepsFileNumbers() ? nodeOutsideText(number, numbers.count()) : undeclaredNodeText("node number", number);
}

std::string checkNodeLine(std::string_view line, std::int32_t nodeCount, NodeLine& node)
{
    return checkNodeLineIn(line, CountedPlaces{nodeCount}, node);
}

BoneScan scanBoneLine(std::string_view line, std::int32_t nodeCount, BoneLine& bone)
{
    return scanBoneLineIn(line, CountedPlaces{nodeCount}, bone);
}

bool readPlainBoneLine(std::string_view line, std::int32_t nodeCount, BoneLine& bone)
{
    return readPlainBoneLineIn(line, CountedPlaces{nodeCount}, bone);
}

bool readPlainBoneLine(std::string_view line, const NodeNumbers& numbers, BoneLine& bone) { return readPlainBoneLineIn(line, numbers, bone); }

std::string checkLinkPair(FieldScanner& scan, std::int32_t nodeCount, std::int32_t k, std::int32_t linkCount, BoneLink& link)
{
    return checkLinkPairIn(scan, CountedPlaces{nodeCount}, k, linkCount, link);
}

std::string checkNodeLine(std::string_view line, const NodeNumbers& numbers, NodeLine& node) { return checkNodeLineIn(line, numbers, node); }

BoneScan scanBoneLine(std::string_view line, const NodeNumbers& numbers, BoneLine& bone) { return scanBoneLineIn(line, numbers, bone); }

std::string checkLinkPair(FieldScanner& scan, const NodeNumbers& numbers, std::int32_t k, std::int32_t linkCount, BoneLink& link)
{
    return checkLinkPairIn(scan, numbers, k, linkCount, link);
}

bool openModelFile(LineCursor& lines, const std::string& path, Diagnostic& diagnostic)
{
    std::string reason;
    if (lines.openFile(path, reason)) return true;
    diagnostic = {path, 0, "cannot open: " + reason};
    return false;
}

bool showRefusal(const char* message, const Diagnostic& diagnostic)
{
    showMessageBox(message ? refusalText(message, diagnostic).c_str() : diagnostic.text().c_str(), "Error");
    return false;
}

void logAnimationCounts(std::int32_t nodeCount, std::int32_t frameCount)
{
    consoleLog().print("[Node] %d\n", nodeCount);
    consoleLog().print("[Time] %d\n", frameCount);
}

} // namespace veskar
