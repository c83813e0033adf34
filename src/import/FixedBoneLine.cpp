// The fixed bone line read a byte and eight bytes at a time, in plain C++:
// the way every processor can take.

#include "import/LineScanVariants.h"
#include "import/TextScan.h"

#include <cstring>

namespace veskar {

namespace {

std::uint64_t loadEight(const char* p)
{
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
}

bool eightDigits(std::uint64_t x)
{
    return (((x + 0x4646464646464646ull) | (x - 0x3030303030303030ull)) & 0x8080808080808080ull) == 0;
}

// Eight digits, the first in the lowest byte, as their number.
std::uint32_t eightDigitValue(std::uint64_t x)
{
    x -= 0x3030303030303030ull;
    x = x * 10 + (x >> 8);
    x = (((x & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) + (((x >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
    return static_cast<std::uint32_t>(x);
}

// "-ddd.dddddd" at p, one to eight digits before the point: where it ends,
// or null.
const char* readFixedDecimal(const char* p, const char* end, float& value)
{
    const bool negative = *p == '-';
    p += negative;
    std::uint64_t whole = 0;
    int n = 0;
    for (; n < 9; ++n) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(p[n])) - '0';
        if (digit > 9) break;
        whole = whole * 10 + digit;
    }
    if (n == 0 || n > 8 || p[n] != '.' || end - p < n + 7) return nullptr;
    // The six decimals behind two '0's make eight digits.
    const std::uint64_t decimals = (loadEight(p + n + 1) << 16) | 0x3030u;
    if (!eightDigits(decimals) || !decimalToFloat(whole * 1000000 + eightDigitValue(decimals), 6, negative, value)) return nullptr;
    return p + n + 7;
}

} // namespace

bool plainReadFixedBoneLine(std::string_view line, std::int32_t& number, float (&values)[6])
{
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end && *p == ' ') ++p;
    std::int32_t value = 0;
    int n = 0;
    // Up to nine digits: a tenth is not the space the values need.
    for (; n < 9 && p + n < end; ++n) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(p[n])) - '0';
        if (digit > 9) break;
        value = value * 10 + static_cast<std::int32_t>(digit);
    }
    if (n == 0) return false;
    p += n;
    for (float& v : values) {
        if (p == end || *p != ' ') return false;
        while (p < end && *p == ' ') ++p;
        if (p == end || !(p = readFixedDecimal(p, end, v))) return false;
    }
    while (p < end && *p == ' ') ++p;
    if (p != end) return false;
    number = value;
    return true;
}

} // namespace veskar
