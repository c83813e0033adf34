#include "import/TextScan.h"

#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace veskar {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string_view firstWord(std::string_view line)
{
    std::size_t begin = 0;
    while (begin < line.size() && isScanSpace(line[begin])) ++begin;
    std::size_t end = begin;
    while (end < line.size() && !isScanSpace(line[end])) ++end;
    return line.substr(begin, end - begin);
}

bool LineCursor::next(std::string_view& line)
{
    if (position_ >= text_.size()) return false;
    const char* start = text_.data() + position_;
    const std::size_t left = text_.size() - position_;
    const void* newline = std::memchr(start, '\n', left);
    std::size_t length = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - start) : left;
    position_ += newline ? length + 1 : length;
    if (length > 0 && start[length - 1] == '\r') --length;
    line = std::string_view(start, length);
    ++lineNumber_;
    return true;
}

std::size_t LineCursor::remainingLines() const { return countLines(text_.substr(position_ < text_.size() ? position_ : text_.size())); }

std::size_t countLines(std::string_view text)
{
    std::size_t lines = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        ++lines;
        if (!nl) break;
        p = static_cast<const char*>(nl) + 1;
    }
    return lines;
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
    while (q < end && *q >= '0' && *q <= '9') {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q - '0');
        if (++digits > 19) return false;
        ++q;
    }
    if (q < end && *q == '.') {
        ++q;
        while (q < end && *q >= '0' && *q <= '9') {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*q - '0');
            if (++digits > 19) return false;
            ++fraction;
            ++q;
        }
    }
    if (digits == 0) return false;
    if (q < end && !isScanSpace(*q)) return false;  // exponents, hex, "nan" and the like
    if (mantissa > (std::uint64_t{1} << 53) || fraction > 22) return false;
    const double exact = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    if (exact != 0.0) {
        // A float keeps 24 of the double's 53 bits: halfway shows as a one
        // followed by 28 zeros in the 29 bits that are dropped.
        const std::uint64_t dropped = std::bit_cast<std::uint64_t>(exact) & ((std::uint64_t{1} << 29) - 1);
        if (dropped == (std::uint64_t{1} << 28)) return false;
        if (exact < 1.1754943508222875e-38) return false;  // below the normal floats
    }
    const float v = static_cast<float>(exact);
    value = negative ? -v : v;
    rest.remove_prefix(static_cast<std::size_t>(q - rest.data()));
    return true;
}

} // namespace

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
