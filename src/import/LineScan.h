#pragma once
// The byte scans the SMD readers spend their time in: where a line ends,
// where the fields of a line begin and end, and the plain decimals in them.
// They are vectorised where the processor allows. One implementation is
// chosen at the first call (AVX2 where the processor has it, SSE2 on every
// other x86-64, plain C++ elsewhere); all give the same answers.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace veskar {

// Bytes after a line that splitFields and readDecimals may read but never
// use: whoever hands them a line keeps this many readable bytes after it.
constexpr std::size_t kScanSlack = 64;

// The first '\n', '\r' or zero byte in [begin, end), or end. Reads nothing
// outside [begin, end).
const char* findLineBreak(const char* begin, const char* end);

// The line ends ('\n') in [begin, end), at most count of them, as offsets
// from begin: a line holding '\r' or a zero byte, or longer than maxLine
// bytes, ends the list before it, and an implementation may leave out lines
// that end near `end` (whole steps only). How many were found; the lines not
// listed are for a line-by-line look. Offsets fit 32 bits: [begin, end) must.
std::size_t findLineEnds(const char* begin, const char* end, std::uint32_t* ends, std::size_t count, std::size_t maxLine);

// The fields of one line: runs of bytes other than the blanks scanf skips.
struct LineFields {
    static constexpr int kMaxFields = 48;
    static constexpr std::size_t kMaxLine = 1024;

    int count = 0;
    // Field i runs from bounds[2i] to bounds[2i + 1], in bytes from the start
    // of the line; the splitter may write a few entries past the last field.
    std::uint16_t bounds[2 * kMaxFields + 8];

    const char* begin(const char* line, int i) const { return line + bounds[2 * i]; }
    int length(int i) const { return bounds[2 * i + 1] - bounds[2 * i]; }
};

// False when the line is longer than kMaxLine or holds more than kMaxFields
// fields (the line is then read the general way).
bool splitFields(std::string_view line, LineFields& fields);

// The fields which[0 .. count) of a split line as floats, each exactly
// strtof's value, when every one is a plain decimal: an optional '-', then
// digits with at most one point among them. False when one is not, or is
// too long or too close to a rounding boundary for the quick way; the line
// is then read the general way.
bool readDecimals(const char* line, const LineFields& fields, const std::uint8_t* which, int count, float* values);

// Field i as "%d" reads it when it is an optional '-' and one to nine
// digits; false otherwise.
inline bool readSmallInt(const char* line, const LineFields& fields, int i, std::int32_t& value)
{
    const char* p = fields.begin(line, i);
    int length = fields.length(i);
    const bool negative = *p == '-';
    p += negative;
    length -= negative;
    if (length < 1 || length > 9) return false;
    std::int32_t v = 0;
    for (int k = 0; k < length; ++k) {
        const unsigned digit = static_cast<unsigned>(p[k] - '0');
        if (digit > 9) return false;
        v = v * 10 + static_cast<std::int32_t>(digit);
    }
    value = negative ? -v : v;
    return true;
}

// One implementation of the scans.
struct LineScanner {
    const char* name;
    const char* (*findLineBreak)(const char* begin, const char* end);
    std::size_t (*findLineEnds)(const char* begin, const char* end, std::uint32_t* ends, std::size_t count, std::size_t maxLine);
    bool (*splitFields)(std::string_view line, LineFields& fields);
    bool (*readDecimals)(const char* line, const LineFields& fields, const std::uint8_t* which, int count, float* values);
    // readFixedBoneLine (FixedBoneLine.h).
    bool (*readFixedBoneLine)(std::string_view line, std::int32_t& number, float (&values)[6]);
};

// Every implementation this processor can run, the plain one first and the
// one the scans use last (tests hold them to the same answers).
std::vector<const LineScanner*> availableLineScanners();
// The one the scans use.
const LineScanner& chosenLineScanner();

} // namespace veskar
