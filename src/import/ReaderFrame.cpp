#include "import/ReaderFrame.h"

#include "import/ConsoleLog.h"
#include "import/FileBuffer.h"
#include "import/SmdModel.h"
#include "platform/Shell.h"

namespace veskar {

namespace {

bool inNodes(std::int32_t n, std::int32_t nodeCount) { return n >= 0 && n < nodeCount; }

} // namespace

std::string nodeOutsideText(std::int32_t number, std::int32_t nodeCount)
{
    return "node number " + std::to_string(number) + " is outside 0 to " + std::to_string(nodeCount - 1);
}

std::string checkNodeLine(std::string_view line, std::int32_t nodeCount, NodeLine& node)
{
    FieldScanner scan(line);
    if (scan.readInt(node.number) != ScanStatus::Ok || !scan.readQuoted(node.name) || scan.readInt(node.parent) != ScanStatus::Ok)
        return "a node line needs a number, a name in double quotes and a parent number";
    if (!inNodes(node.number, nodeCount)) return nodeOutsideText(node.number, nodeCount);
    if (node.parent != -1 && !inNodes(node.parent, nodeCount))
        return "parent number " + std::to_string(node.parent) + " is neither -1 nor a node number";
    return {};
}

BoneScan scanBoneLine(std::string_view line, std::int32_t nodeCount, BoneLine& bone)
{
    FieldScanner scan(line);
    bool ok = scan.readInt(bone.number) == ScanStatus::Ok;
    for (int i = 0; ok && i < 6; ++i) ok = scan.readFloat(bone.values[i]) == ScanStatus::Ok;
    if (!ok) return BoneScan::Short;
    return inNodes(bone.number, nodeCount) ? BoneScan::Ok : BoneScan::Outside;
}

std::string checkLinkPair(FieldScanner& scan, std::int32_t nodeCount, std::int32_t k, std::int32_t linkCount, BoneLink& link)
{
    const ScanStatus b = scan.readInt(link.bone);
    if (b == ScanStatus::OutOfRange) return "a link bone number is far out of range";
    if (b != ScanStatus::Ok || scan.readFloat(link.weight) != ScanStatus::Ok)
        return "the link count is " + std::to_string(linkCount) + " but " + std::to_string(k) + " bone and weight pairs follow";
    if (!inNodes(link.bone, nodeCount)) return "link bone " + std::to_string(link.bone) + " is not a node number";
    return {};
}

bool openModelFile(LineCursor& lines, const std::string& path, Diagnostic& diagnostic)
{
    std::string reason;
    if (lines.openFile(path, reason)) return true;
    diagnostic = {path, 0, "cannot open: " + reason};
    return false;
}

bool openModelFile(std::string& text, const std::string& path, Diagnostic& diagnostic)
{
    std::string reason;
    if (readWholeFile(path, text, reason)) return true;
    diagnostic = {path, 0, "cannot open: " + reason};
    return false;
}

bool showRefusal(const char* message, const Diagnostic& diagnostic)
{
    showMessageBox(refusalText(message, diagnostic).c_str(), "Error");
    return false;
}

void logAnimationCounts(std::int32_t nodeCount, std::int32_t frameCount)
{
    consoleLog().print("[Node] %d\n", nodeCount);
    consoleLog().print("[Time] %d\n", frameCount);
}

} // namespace veskar
