// The plain implementation of the scans, which every other one must agree
// with, and the choice among them.

#include "import/LineScan.h"

#include "import/FixedBoneLine.h"
#include "import/LineScanVariants.h"
#include "import/TextScan.h"

#include <bit>
#include <cstring>

namespace veskar {

static_assert(std::endian::native == std::endian::little, "the scans read eight bytes at a time, first byte lowest");

// Eight bytes at a time: the lowest byte flagged is a real match (a borrow
// can flag bytes above a zero byte, never below it).
const char* plainFindLineBreak(const char* p, const char* end)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const auto zeroBytes = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    while (end - p >= 8) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        const std::uint64_t hit = zeroBytes(x) | zeroBytes(x ^ (kOnes * '\n')) | zeroBytes(x ^ (kOnes * '\r'));
        if (hit) return p + std::countr_zero(hit) / 8;
        p += 8;
    }
    for (; p < end; ++p)
        if (*p == '\n' || *p == '\r' || *p == '\0') return p;
    return end;
}

namespace {

std::size_t plainFindLineEnds(const char* begin, const char* end, std::uint32_t* ends, std::size_t count, std::size_t maxLine)
{
    std::size_t found = 0, lineStart = 0;
    while (found < count) {
        const char* at = plainFindLineBreak(begin + lineStart, end);
        if (at == end || *at != '\n') break;
        const auto offset = static_cast<std::size_t>(at - begin);
        if (offset - lineStart > maxLine) break;
        ends[found++] = static_cast<std::uint32_t>(offset);
        lineStart = offset + 1;
    }
    return found;
}

bool plainSplitFields(std::string_view line, LineFields& fields)
{
    const std::size_t n = line.size();
    if (n > LineFields::kMaxLine) return false;
    int count = 0;
    std::size_t i = 0;
    for (;;) {
        while (i < n && isScanSpace(line[i])) ++i;
        if (i == n) break;
        if (count == LineFields::kMaxFields) return false;
        fields.bounds[2 * count] = static_cast<std::uint16_t>(i);
        while (i < n && !isScanSpace(line[i])) ++i;
        fields.bounds[2 * count + 1] = static_cast<std::uint16_t>(i);
        ++count;
    }
    fields.count = count;
    return true;
}

} // namespace

bool plainReadDecimals(const char* line, const LineFields& fields, const std::uint8_t* which, int count, float* values)
{
    for (int k = 0; k < count; ++k) {
        const char* begin = fields.begin(line, which[k]);
        if (!readPlainDecimal(begin, begin + fields.length(which[k]), values[k])) return false;
    }
    return true;
}

const LineScanner kPlainLineScanner = {"plain", plainFindLineBreak, plainFindLineEnds, plainSplitFields, plainReadDecimals, plainReadFixedBoneLine};

std::vector<const LineScanner*> availableLineScanners()
{
    std::vector<const LineScanner*> scanners{&kPlainLineScanner};
    for (const LineScanner* faster : fasterLineScanners()) scanners.push_back(faster);
    return scanners;
}

const LineScanner& chosenLineScanner()
{
    static const LineScanner* const chosen = availableLineScanners().back();
    return *chosen;
}

const char* findLineBreak(const char* begin, const char* end) { return chosenLineScanner().findLineBreak(begin, end); }

std::size_t findLineEnds(const char* begin, const char* end, std::uint32_t* ends, std::size_t count, std::size_t maxLine)
{
    return chosenLineScanner().findLineEnds(begin, end, ends, count, maxLine);
}

bool splitFields(std::string_view line, LineFields& fields) { return chosenLineScanner().splitFields(line, fields); }

bool readDecimals(const char* line, const LineFields& fields, const std::uint8_t* which, int count, float* values)
{
    return chosenLineScanner().readDecimals(line, fields, which, count, values);
}

bool readFixedBoneLine(std::string_view line, std::int32_t& number, float (&values)[6])
{
    return chosenLineScanner().readFixedBoneLine(line, number, values);
}

} // namespace veskar
