#pragma once
// Line-oriented text reading for the model formats: first words as "%s" takes
// them, and fields with the meaning of the scanf conversions the formats are
// written for ("%d", "%f", "\"%[^\"]\""), checked instead of trusted.

#include "import/LineCursor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veskar {

// ' ', '\t', '\n', '\v', '\f', '\r'.
inline bool isScanSpace(char c) { return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t'; }

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The first whitespace-delimited word of a line (empty for a blank line).
std::string_view firstWord(std::string_view line);

// equalsIgnoringCase(firstWord(line), word) for a lower-case word, without
// finding the whole first word: a line of numbers is told apart at its first
// byte.
inline bool firstWordIs(std::string_view line, std::string_view word)
{
    std::size_t i = 0;
    while (i < line.size() && isScanSpace(line[i])) ++i;
    if (line.size() - i < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k)
        if (lowerAscii(line[i + k]) != word[k]) return false;
    i += word.size();
    return i == line.size() || isScanSpace(line[i]);
}

enum class ScanStatus { Ok, Missing, OutOfRange };

// Reads fields left to right from one line, skipping blanks before each as
// scanf does.
class FieldScanner {
public:
    explicit FieldScanner(std::string_view line) : rest_(line) {}

    // "%d": optional sign and digits. A number beyond int32 is OutOfRange.
    ScanStatus readInt(std::int32_t& value);
    // "%f": what strtof accepts, including inf and nan.
    ScanStatus readFloat(float& value);
    // "%s": a word.
    bool readWord(std::string_view& word);
    // " \"%[^\"]\"": a name in double quotes (may hold blanks, may be empty).
    bool readQuoted(std::string_view& name);
    bool atEnd();

private:
    void skipSpace();
    std::string_view rest_;
};

// mantissa / 10^fraction, negated when negative, as strtof reads the decimal
// written with those digits; false where that needs the general way (a value
// exactly halfway between two floats, one below the normal floats, more than
// 2^53 as digits or 22 decimals).
bool decimalToFloat(std::uint64_t mantissa, int fraction, bool negative, float& value);

// A plain decimal filling [begin, end) (an optional '-', digits, at most one
// point) as "%f" reads it, the quick way; false when the text is no such
// decimal or needs the general way.
bool readPlainDecimal(const char* begin, const char* end, float& value);

// Counts the lines of a buffer as LineCursor reads them (a last line without
// an end counts).
std::size_t countLines(std::string_view text);

} // namespace veskar
