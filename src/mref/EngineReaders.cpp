// What the mRef and mAni readers share.

#include "mref/EngineReaders.h"

#include "mref/EngineFormatScan.h"

#include <string_view>

namespace veskar {

EngineReadResult EngineModelReader::readOpeningLines(const char* kind)
{
    const HeaderLine h = readHeaderLine(cursor_, model_.token, model_.headerValue);
    if (h != HeaderLine::Ok || !equalsIgnoringCase(model_.token, "version") || model_.headerValue != 1)
        return refuseAs(kEngineNotOurFile, 1, "the first line is not \"version 1\"");
    std::string_view line;
    const bool second = cursor_.next(line);
    if (const EngineReadResult r = checkCursor(); r != kEngineRead) return r;
    if (!second || !equalsIgnoringCase(firstWord(line), kind))
        return refuseAs(kEngineWrongKind, 2, std::string("the second line is not \"") + kind + "\"");
    return kEngineRead;
}

} // namespace veskar
