#pragma once
// Header lines of the engine formats: "word number".

#include "import/TextScan.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace veskar {

enum class HeaderLine { Ok, NoLine, NoNumber, NumberOutOfRange };

// Reads the next line as "%s %d" into word and value.
inline HeaderLine readHeaderLine(LineCursor& cursor, std::string& word, std::int32_t& value)
{
    std::string_view line;
    if (!cursor.next(line)) {
        word.clear();
        return HeaderLine::NoLine;
    }
    FieldScanner scan(line);
    std::string_view w;
    scan.readWord(w);
    word.assign(w);
    const ScanStatus s = scan.readInt(value);
    if (s == ScanStatus::OutOfRange) return HeaderLine::NumberOutOfRange;
    return s == ScanStatus::Ok ? HeaderLine::Ok : HeaderLine::NoNumber;
}

} // namespace veskar
