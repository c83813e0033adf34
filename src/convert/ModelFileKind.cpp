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

ModelFileKind guessModelFileKind(LineCursor& cursor)
{
    std::string_view line;
    while (cursor.next(line)) {
        const std::string_view w = firstWord(line);
        if (w.empty() || w.substr(0, 2) == "//") continue;
        break;
    }
    if (cursor.lineNumber() == 0 || !equalsIgnoringCase(firstWord(line), "version")) return ModelFileKind::Unknown;
    if (cursor.next(line)) {
        const std::string_view second = firstWord(line);
        if (equalsIgnoringCase(second, "ref")) return ModelFileKind::MRef;
        if (equalsIgnoringCase(second, "ani")) return ModelFileKind::MAni;
    }
    cursor.rewind();
    std::string token;
    std::int32_t value = 0;
    readSmdHeader(cursor, token, value);
    SmdCounts counts;
    std::vector<std::string> names;
    countSmdSections(cursor, counts, names);
    return counts.frameCount >= 1 && counts.triangleCount <= 1 ? ModelFileKind::SmdAnimation : ModelFileKind::SmdReference;
}

} // namespace veskar
