#include "convert/ModelFileKind.h"

#include "import/LineCursor.h"
#include "import/SmdSections.h"
#include "import/TextScan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

ModelFileKind guessModelFileKind(std::string_view text)
{
    LineCursor cursor(text);
    return guessModelFileKind(cursor);
}

namespace {

struct Guess {
    ModelFileKind kind = ModelFileKind::Unknown;
    bool triangleSection = false;
};

Guess guess(LineCursor& cursor)
{
    std::string_view line;
    while (cursor.next(line)) {
        const std::string_view w = firstWord(line);
        if (w.empty() || w.substr(0, 2) == "//") continue;
        break;
    }
    if (cursor.lineNumber() == 0 || !equalsIgnoringCase(firstWord(line), "version")) return {};
    if (cursor.next(line)) {
        const std::string_view second = firstWord(line);
        if (equalsIgnoringCase(second, "ref")) return {ModelFileKind::MRef, true};
        if (equalsIgnoringCase(second, "ani")) return {ModelFileKind::MAni, false};
    }
    cursor.rewind();
    std::string token;
    std::int32_t value = 0;
    readSmdHeader(cursor, token, value);
    SmdCounts counts;
    std::vector<std::string> names;
    countSmdSections(cursor, counts, names);
    if (counts.frameCount >= 1 && counts.triangleCount <= 1) return {ModelFileKind::SmdAnimation, !counts.triangleSections.empty()};
    return {ModelFileKind::SmdReference, !counts.triangleSections.empty()};
}

} // namespace

ModelFileKind guessModelFileKind(LineCursor& cursor) { return guess(cursor).kind; }

bool isWholeReference(LineCursor& cursor)
{
    const Guess g = guess(cursor);
    return isReferenceKind(g.kind) && g.triangleSection;
}

} // namespace veskar
