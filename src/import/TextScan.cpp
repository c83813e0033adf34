#include "import/TextScan.h"

#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace veskar {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::string_view firstWord(std::string_view line)
{
    std::size_t begin = 0;
    while (begin < line.size() && isScanSpace(line[begin])) ++begin;
    // A material's name is a long word: eight bytes at a time up to the
    // first byte at or below ' ', as every blank is (the lowest flagged byte
    // is exact), then a byte at a time past any that is no blank.
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const auto lowBytes = [&](std::size_t at) {
        std::uint64_t x;
        std::memcpy(&x, line.data() + at, 8);
        return (x - kOnes * 0x21) & ~x & kHighs;
    };
    const std::size_t size = line.size();
    std::size_t end = begin;
    bool stopped = false;
    for (; size - end >= 8; end += 8) {
        if (const std::uint64_t low = lowBytes(end)) {
            end += static_cast<std::size_t>(std::countr_zero(low)) / 8;
            stopped = true;
            break;
        }
    }
    // The last bytes as the eight that end the line: those before end are
    // known to be above ' '.
    if (!stopped && end > begin && end < size) {
        const std::uint64_t low = lowBytes(size - 8);
        end = low ? size - 8 + static_cast<std::size_t>(std::countr_zero(low)) / 8 : size;
    }
    while (end < size && !isScanSpace(line[end])) ++end;
    return line.substr(begin, end - begin);
}

std::size_t countLines(std::string_view text)
{
    LineCursor cursor(text);
    return cursor.remainingLines();
}

void FieldScanner::skipSpace()
{
    std::size_t i = 0;
    while (i < rest_.size() && isScanSpace(rest_[i])) ++i;
    rest_.remove_prefix(i);
}

bool FieldScanner::atEnd()
{
    skipSpace();
    return rest_.empty();
}

ScanStatus FieldScanner::readInt(std::int32_t& value)
{
    skipSpace();
    std::size_t i = 0;
    bool negative = false;
    if (i < rest_.size() && (rest_[i] == '+' || rest_[i] == '-')) {
        negative = rest_[i] == '-';
        ++i;
    }
    const std::size_t digitsStart = i;
    std::int64_t magnitude = 0;
    bool overflow = false;
    while (i < rest_.size() && rest_[i] >= '0' && rest_[i] <= '9') {
        if (!overflow) {
            magnitude = magnitude * 10 + (rest_[i] - '0');
            if (magnitude > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) overflow = true;
        }
        ++i;
    }
    if (i == digitsStart) return ScanStatus::Missing;
    rest_.remove_prefix(i);
    const std::int64_t v = negative ? -magnitude : magnitude;
    if (overflow || v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
        return ScanStatus::OutOfRange;
    value = static_cast<std::int32_t>(v);
    return ScanStatus::Ok;
}

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr double kInversePowersOfTen[] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
                                          1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

constexpr std::uint64_t kDigitScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Appends the run of digits at q to mantissa, eight at a time where the line
// has eight bytes left; false when the digits come to more than 19.
[[gnu::always_inline]] inline bool takeDigits(const char*& q, const char* end, std::uint64_t& mantissa, int& digits)
{
    while (end - q >= 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, q, 8);
        const std::uint64_t x = chunk ^ 0x3030303030303030ull;  // digits become 0 to 9
        // The high bit of a byte is set where the byte is no digit; no carry
        // crosses from one byte into the next.
        const std::uint64_t notDigit = (((x & 0x7F7F7F7F7F7F7F7Full) + 0x7676767676767676ull) | x) & 0x8080808080808080ull;
        const int n = notDigit ? std::countr_zero(notDigit) / 8 : 8;
        if (n == 0) return true;
        if (digits + n > 19) return false;
        // The n digits right-aligned behind leading zeros, then summed in pairs,
        // fours and eights.
        std::uint64_t v = n == 8 ? x : x << (8 * (8 - n));
        v = v * 10 + (v >> 8);
        v = (((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) + (((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
        mantissa = mantissa * kDigitScale[n] + (v & 0xFFFFFFFFull);
        digits += n;
        q += n;
        if (n < 8) return true;
    }
    while (q < end && *q >= '0' && *q <= '9') {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q - '0');
        if (++digits > 19) return false;
        ++q;
    }
    return true;
}

// The common case of the model formats, "-12.345678", without a trip through
// the general parser. With at most 2^53 as the digits and at most 22 decimals
// both operands of m / 10^k are exact doubles, so the quotient is the double
// nearest the written number. Rounding that double to float gives strtof's
// value unless the double lies exactly halfway between two floats (then the
// written number may be on either side); that case goes the general way.
bool parseShortDecimal(const char* p, const char* end, float& value, std::string_view& rest)
{
    const char* q = p;
    const bool negative = q < end && *q == '-';
    if (negative) ++q;
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    if (!takeDigits(q, end, mantissa, digits)) return false;
    if (q < end && *q == '.') {
        ++q;
        const int before = digits;
        if (!takeDigits(q, end, mantissa, digits)) return false;
        fraction = digits - before;
    }
    if (digits == 0) return false;
    if (q < end && !isScanSpace(*q)) return false;  // exponents, hex, "nan" and the like
    if (!decimalToFloat(mantissa, fraction, negative, value)) return false;
    rest.remove_prefix(static_cast<std::size_t>(q - rest.data()));
    return true;
}

} // namespace

bool decimalToFloat(std::uint64_t mantissa, int fraction, bool negative, float& value)
{
    if (mantissa > (std::uint64_t{1} << 53) || fraction < 0 || fraction > 22) return false;
    // A float keeps 24 of the double's 53 bits: halfway between two floats
    // shows as a one followed by 28 zeros in the 29 bits that are dropped.
    constexpr std::uint64_t kDroppedMask = (std::uint64_t{1} << 29) - 1;
    constexpr std::int64_t kHalfway = std::int64_t{1} << 28;
    // At most 2^53: the signed conversion is exact and one instruction.
    const auto exact = static_cast<double>(static_cast<std::int64_t>(mantissa));
    // Multiplying by the nearest double to 10^-k is within a few units of the
    // last place of the exact quotient and far cheaper than dividing; it
    // rounds to the same float unless a halfway point lies that close, and
    // then the exact division decides.
    double quotient = exact * kInversePowersOfTen[fraction];
    const std::int64_t fromHalfway = static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(quotient) & kDroppedMask) - kHalfway;
    if (fromHalfway >= -16 && fromHalfway <= 16) quotient = exact / kPowersOfTen[fraction];
    if (quotient != 0.0) {
        if ((std::bit_cast<std::uint64_t>(quotient) & kDroppedMask) == static_cast<std::uint64_t>(kHalfway)) return false;
        if (quotient < 1.1754943508222875e-38) return false;  // below the normal floats
    }
    const float v = static_cast<float>(quotient);
    value = negative ? -v : v;
    return true;
}

bool readPlainDecimal(const char* begin, const char* end, float& value)
{
    std::string_view rest(begin, static_cast<std::size_t>(end - begin));
    float parsed = 0.0f;
    if (!parseShortDecimal(begin, end, parsed, rest) || !rest.empty()) return false;
    value = parsed;
    return true;
}

ScanStatus FieldScanner::readFloat(float& value)
{
    skipSpace();
    if (rest_.empty()) return ScanStatus::Missing;
    const char* begin = rest_.data();
    const char* end = begin + rest_.size();
    const char* p = begin;
    if (*p == '+' && (p + 1 == end || p[1] != '-')) ++p;  // from_chars takes '-' but not '+'; "+-" starts no number
    if (parseShortDecimal(p, end, value, rest_)) return ScanStatus::Ok;
    float parsed = 0.0f;
    auto [ptr, ec] = std::from_chars(p, end, parsed, std::chars_format::general);
    const bool hexPrefix = ec == std::errc() && ptr < end && (*ptr == 'x' || *ptr == 'X') && ptr - p >= 1 && ptr[-1] == '0';
    if (ec == std::errc::invalid_argument) return ScanStatus::Missing;
    if (ec == std::errc::result_out_of_range || hexPrefix) {
        // strtof gives these their scanf values (infinities, denormals, hex).
        std::string copy(begin, std::min(rest_.find_first_of(" \t\n\v\f\r"), rest_.size()));  // the whole field, however long
        char* stop = nullptr;
        parsed = std::strtof(copy.c_str(), &stop);
        if (stop == copy.c_str()) return ScanStatus::Missing;
        ptr = begin + (stop - copy.c_str());
    }
    value = parsed;
    rest_.remove_prefix(static_cast<std::size_t>(ptr - begin));
    return ScanStatus::Ok;
}

bool FieldScanner::readWord(std::string_view& word)
{
    skipSpace();
    std::size_t i = 0;
    while (i < rest_.size() && !isScanSpace(rest_[i])) ++i;
    if (i == 0) return false;
    word = rest_.substr(0, i);
    rest_.remove_prefix(i);
    return true;
}

bool FieldScanner::readQuoted(std::string_view& name)
{
    skipSpace();
    if (rest_.empty() || rest_.front() != '"') return false;
    const std::size_t close = rest_.find('"', 1);
    if (close == std::string_view::npos) return false;
    name = rest_.substr(1, close - 1);
    rest_.remove_prefix(close + 1);
    return true;
}

} // namespace veskar
