// The scans with AVX2, BMI1 and BMI2: 32 bytes a step, and numbers four at a
// time, their digits gathered by a byte shuffle and summed by multiply-adds.
// Built with those instructions enabled; called only where the processor
// has them (LineScanX86.cpp).

#include "import/LineScanVariants.h"

#include <immintrin.h>

namespace veskar {

namespace {

const char* avx2FindLineBreak(const char* p, const char* end)
{
    const __m256i newline = _mm256_set1_epi8('\n'), ret = _mm256_set1_epi8('\r'), zero = _mm256_setzero_si256();
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i hit = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, newline), _mm256_cmpeq_epi8(v, ret)), _mm256_cmpeq_epi8(v, zero));
        if (const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hit))) return p + _tzcnt_u32(mask);
        p += 32;
    }
    return plainFindLineBreak(p, end);
}

// A file's text is met once and in order, a page at a time: the processor
// fetches ahead within a page but not into the next, so asking for the bytes
// a page ahead spares a wait at each page's start.
constexpr std::size_t kPrefetchAhead = 4096;

// Sixty-four bytes a step; the step's newlines before a '\r' or zero byte.
std::size_t avx2FindLineEnds(const char* begin, const char* end, std::uint32_t* ends, std::size_t count, std::size_t maxLine)
{
    const __m256i newline = _mm256_set1_epi8('\n'), ret = _mm256_set1_epi8('\r'), zero = _mm256_setzero_si256();
    const auto bits = [](__m256i hit) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(hit))); };
    std::size_t found = 0, lineStart = 0;
    const auto size = static_cast<std::size_t>(end - begin);
    for (std::size_t base = 0; found < count && base + 64 <= size; base += 64) {
        _mm_prefetch(begin + base + kPrefetchAhead, _MM_HINT_T0);
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(begin + base));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(begin + base + 32));
        std::uint64_t ends64 = bits(_mm256_cmpeq_epi8(low, newline)) | bits(_mm256_cmpeq_epi8(high, newline)) << 32;
        const std::uint64_t stops = bits(_mm256_or_si256(_mm256_cmpeq_epi8(low, ret), _mm256_cmpeq_epi8(low, zero))) |
                                    bits(_mm256_or_si256(_mm256_cmpeq_epi8(high, ret), _mm256_cmpeq_epi8(high, zero))) << 32;
        if (stops) ends64 &= _blsi_u64(stops) - 1;
        for (; ends64 && found < count; ends64 = _blsr_u64(ends64)) {
            const std::size_t offset = base + _tzcnt_u64(ends64);
            if (offset - lineStart > maxLine) return found;
            ends[found++] = static_cast<std::uint32_t>(offset);
            lineStart = offset + 1;
        }
        if (stops || base + 64 - lineStart > maxLine) break;
    }
    return found;
}

// ' ' and '\t' to '\r': scanf's blanks.
__m256i blankBytes(__m256i v)
{
    const __m256i shifted = _mm256_sub_epi8(v, _mm256_set1_epi8('\t'));
    const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(shifted, _mm256_set1_epi8('\r' - '\t')), shifted);
    return _mm256_or_si256(control, _mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')));
}

std::uint64_t avx2Blanks(const char* p)
{
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(blankBytes(low))) |
           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(blankBytes(high)))) << 32);
}

// Fields begin and end where a blank meets a byte that is none. The twin of
// splitByBlanks in LineScanX86.cpp, written out here so that this file shares
// no inline code with files built without AVX2.
bool avx2SplitFields(std::string_view line, LineFields& fields)
{
    const std::size_t n = line.size();
    if (n > LineFields::kMaxLine) return false;
    int written = 0;
    std::uint64_t before = 1;  // the line starts after a blank
    for (std::size_t base = 0; base <= n; base += 64) {
        std::uint64_t blank = avx2Blanks(line.data() + base);
        if (n - base < 64) blank |= ~std::uint64_t{0} << (n - base);  // the line ends in a blank
        std::uint64_t edges = blank ^ ((blank << 1) | before);
        before = blank >> 63;
        const auto count = static_cast<int>(_mm_popcnt_u64(edges));
        if (written + count > 2 * LineFields::kMaxFields) return false;
        std::uint16_t* out = fields.bounds + written;
        // Four at a time: fewer branches; the spare entries take what is
        // written past the last edge.
        for (int i = 0; i < count; i += 4) {
            for (int k = 0; k < 4; ++k) {
                out[i + k] = static_cast<std::uint16_t>(base + _tzcnt_u64(edges));
                edges = _blsr_u64(edges);
            }
        }
        written += count;
    }
    fields.count = written / 2;
    return true;
}

// For a number of `before` digits, a point and `after` digits: the shuffle
// that takes its digits without the point, right-aligned behind zeros (an
// index with the high bit set gives zero).
struct DigitGather {
    alignas(16) std::uint8_t shuffle[16][16][16];
};

constexpr DigitGather makeDigitGather()
{
    DigitGather table{};
    for (int before = 0; before < 16; ++before)
        for (int after = 0; after < 16; ++after) {
            const int digits = before + after;
            for (int k = 0; k < 16; ++k) table.shuffle[before][after][k] = 0x80;
            if (digits > 15) continue;
            for (int j = 0; j < digits; ++j)
                table.shuffle[before][after][16 - digits + j] = static_cast<std::uint8_t>(j < before ? j : j + 1);
        }
    return table;
}

constexpr DigitGather kDigitGather = makeDigitGather();

// The same powers of ten as the plain parser's (the same doubles, so the
// same quotients).
constexpr double kTenths[16] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};
constexpr double kTens[16] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

constexpr std::uint64_t kDroppedMask = (std::uint64_t{1} << 29) - 1;  // the bits a float drops from a double
constexpr std::int64_t kHalfway = std::int64_t{1} << 28;
constexpr double kSmallestNormal = 1.1754943508222875e-38;

// A field [p, p + length) as its digits, gathered: false unless it is an
// optional '-' and at most 15 digits with at most one point among them.
bool gatherDigits(const char* p, int length, __m128i& digits, int& fraction, int& negative)
{
    negative = *p == '-';
    p += negative;
    length -= negative;
    if (length < 1 || length > 16) return false;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
    const std::uint32_t inField = (1u << length) - 1;
    const std::uint32_t notDigit = ~static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d)));
    const std::uint32_t points = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('.')))) & inField;
    const std::uint32_t point = points & (0u - points);
    const int before = point ? static_cast<int>(_tzcnt_u32(point)) : length;
    const int after = point ? length - before - 1 : 0;
    if ((notDigit & inField) != point || before + after == 0 || before + after > 15) return false;
    digits = _mm_shuffle_epi8(d, _mm_load_si128(reinterpret_cast<const __m128i*>(kDigitGather.shuffle[before][after])));
    fraction = after;
    return true;
}

// The plain parser's quotient for one number the quick product left close to
// a rounding boundary; false where it would take the general way.
bool exactQuotient(double mantissa, int fraction, double& quotient)
{
    const std::int64_t fromHalfway = static_cast<std::int64_t>(__builtin_bit_cast(std::uint64_t, quotient) & kDroppedMask) - kHalfway;
    if (fromHalfway >= -16 && fromHalfway <= 16) quotient = mantissa / kTens[fraction];
    if (quotient == 0.0) return true;
    return (__builtin_bit_cast(std::uint64_t, quotient) & kDroppedMask) != static_cast<std::uint64_t>(kHalfway) && quotient >= kSmallestNormal;
}

// Six numbers of six decimals, as their digits (below 2^52) and signs, to
// floats the way convertFour turns them.
bool sixDecimalsToFloats(const std::int64_t (&digits)[8], const std::int64_t (&negative)[8], float (&values)[6])
{
    // A double with the exponent of 2^52 holds an integer below 2^52 in its
    // mantissa bits: setting them and taking 2^52 away converts it exactly.
    const __m256i twoTo52 = _mm256_set1_epi64x(0x4330000000000000ll);
    const auto toDouble = [&](__m256i v) { return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(v, twoTo52)), _mm256_castsi256_pd(twoTo52)); };
    alignas(32) double mantissa[8], quotient[8];
    for (int half = 0; half < 8; half += 4) {
        const __m256d m = toDouble(_mm256_load_si256(reinterpret_cast<const __m256i*>(digits + half)));
        const __m256d q = _mm256_mul_pd(m, _mm256_set1_pd(kTenths[6]));
        _mm256_store_pd(mantissa + half, m);
        _mm256_store_pd(quotient + half, q);
    }
    // Near a halfway point between two floats: each one looked at again.
    const __m256i near0 = _mm256_sub_epi64(_mm256_and_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(quotient)), _mm256_set1_epi64x(static_cast<long long>(kDroppedMask))),
                                           _mm256_set1_epi64x(kHalfway - 16));
    const __m256i near1 = _mm256_sub_epi64(_mm256_and_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(quotient + 4)), _mm256_set1_epi64x(static_cast<long long>(kDroppedMask))),
                                           _mm256_set1_epi64x(kHalfway - 16));
    const __m256i limit = _mm256_set1_epi64x(33);
    const int close = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_and_si256(_mm256_cmpgt_epi64(limit, near0), _mm256_cmpgt_epi64(near0, _mm256_set1_epi64x(-1))))) |
                      _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_and_si256(_mm256_cmpgt_epi64(limit, near1), _mm256_cmpgt_epi64(near1, _mm256_set1_epi64x(-1))))) << 4;
    // Six decimals are at least 10^-6 unless zero: never below the normal floats.
    if (close & 0x3F)
        for (int k = 0; k < 6; ++k)
            if (!exactQuotient(mantissa[k], 6, quotient[k])) return false;
    for (int half = 0; half < 8; half += 4) {
        const __m128 floats = _mm256_cvtpd_ps(_mm256_load_pd(quotient + half));
        const __m128i signs = _mm_slli_epi32(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(negative + half)),
                                                                                                  _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))), 31);
        alignas(16) float four[4];
        _mm_store_ps(four, _mm_xor_ps(floats, _mm_castsi128_ps(signs)));
        for (int k = 0; k < 4 && half + k < 6; ++k) values[half + k] = four[k];
    }
    return true;
}

// Four gathered numbers (count of them real) to floats, the way the plain
// parser turns digits into a float: the digits as an exact double times the
// double nearest 10^-fraction, the exact quotient where that lands near a
// point halfway between two floats.
bool convertFour(const __m128i (&digits)[4], const int (&fraction)[4], const int (&negative)[4], int count, float* values)
{
    const __m256i pairs = _mm256_set1_epi16(0x010A);        // 10 * first digit + second
    const __m256i fours = _mm256_set1_epi32(0x00010064);    // 100 * first pair + second
    const __m256i eights = _mm256_set1_epi32(0x00012710);   // 10000 * first four + second
    __m256i a = _mm256_set_m128i(digits[1], digits[0]);
    __m256i b = _mm256_set_m128i(digits[3], digits[2]);
    a = _mm256_madd_epi16(_mm256_maddubs_epi16(a, pairs), fours);
    b = _mm256_madd_epi16(_mm256_maddubs_epi16(b, pairs), fours);
    // Lane 0: numbers 0 and 2 as (upper eight digits, lower eight); lane 1: 1 and 3.
    __m256i halves = _mm256_madd_epi16(_mm256_packus_epi32(a, b), eights);
    halves = _mm256_permutevar8x32_epi32(halves, _mm256_setr_epi32(0, 4, 2, 6, 1, 5, 3, 7));
    const __m256d upper = _mm256_cvtepi32_pd(_mm256_castsi256_si128(halves));
    const __m256d lower = _mm256_cvtepi32_pd(_mm256_extracti128_si256(halves, 1));
    const __m256d mantissa = _mm256_add_pd(_mm256_mul_pd(upper, _mm256_set1_pd(1e8)), lower);  // exact: below 10^15
    __m256d quotient = _mm256_mul_pd(mantissa, _mm256_setr_pd(kTenths[fraction[0]], kTenths[fraction[1]], kTenths[fraction[2]], kTenths[fraction[3]]));

    const __m256i fromHalfway = _mm256_sub_epi64(_mm256_and_si256(_mm256_castpd_si256(quotient), _mm256_set1_epi64x(static_cast<long long>(kDroppedMask))),
                                                 _mm256_set1_epi64x(kHalfway - 16));
    const __m256i nearHalfway = _mm256_andnot_si256(_mm256_cmpgt_epi64(_mm256_setzero_si256(), fromHalfway),
                                                    _mm256_cmpgt_epi64(_mm256_set1_epi64x(33), fromHalfway));
    const __m256d tiny = _mm256_and_pd(_mm256_cmp_pd(quotient, _mm256_set1_pd(kSmallestNormal), _CMP_LT_OQ),
                                       _mm256_cmp_pd(quotient, _mm256_setzero_pd(), _CMP_NEQ_OQ));
    if (_mm256_movemask_pd(_mm256_or_pd(_mm256_castsi256_pd(nearHalfway), tiny))) {
        alignas(32) double q[4], m[4];
        _mm256_store_pd(q, quotient);
        _mm256_store_pd(m, mantissa);
        for (int k = 0; k < count; ++k)
            if (!exactQuotient(m[k], fraction[k], q[k])) return false;
        quotient = _mm256_load_pd(q);
    }
    const __m128i signs = _mm_slli_epi32(_mm_setr_epi32(negative[0], negative[1], negative[2], negative[3]), 31);
    const __m128 floats = _mm_xor_ps(_mm256_cvtpd_ps(quotient), _mm_castsi128_ps(signs));
    if (count == 4) {
        _mm_storeu_ps(values, floats);
    } else {
        alignas(16) float four[4];
        _mm_store_ps(four, floats);
        for (int k = 0; k < count; ++k) values[k] = four[k];
    }
    return true;
}

bool avx2ReadDecimals(const char* line, const LineFields& fields, const std::uint8_t* which, int count, float* values)
{
    for (int k = 0; k < count; k += 4) {
        const int n = count - k < 4 ? count - k : 4;
        __m128i digits[4];
        int fraction[4], negative[4];
        for (int j = 0; j < 4; ++j) {
            if (j < n) {
                const int field = which[k + j];
                if (!gatherDigits(fields.begin(line, field), fields.length(field), digits[j], fraction[j], negative[j])) return false;
            } else {
                digits[j] = _mm_setzero_si128();
                fraction[j] = negative[j] = 0;
            }
        }
        if (!convertFour(digits, fraction, negative, n, values + k)) return false;
    }
    return true;
}

// The bytes of a 64-byte step that equal c, as bits.
std::uint64_t bytesEqual(__m256i low, __m256i high, char c)
{
    const __m256i v = _mm256_set1_epi8(c);
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, v))) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, v)))) << 32;
}

std::uint64_t digitBytes(__m256i low, __m256i high)
{
    const auto digits = [](__m256i v) {
        const __m256i d = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d)));
    };
    return digits(low) | static_cast<std::uint64_t>(digits(high)) << 32;
}

// Eight digit values (bytes 0 to 9), the first in the lowest byte, as their number.
std::uint64_t eightDigitValue(std::uint64_t d)
{
    d = d * 10 + (d >> 8);
    return (((d & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) + (((d >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
}

std::uint64_t loadEight(const char* p)
{
    std::uint64_t x;
    __builtin_memcpy(&x, p, 8);
    return x;
}

// The fixed bone line (see FixedBoneLine.h) from the masks of its bytes: the
// layout is checked for the whole line at once, then each value's whole
// digits and six decimals are taken eight bytes at a time.
bool avx2ReadBoneLine(std::string_view line, std::int32_t& number, float (&values)[6])
{
    const std::size_t n = line.size();
    if (n >= 64) return false;
    const char* p = line.data();
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const std::uint64_t inLine = (std::uint64_t{1} << n) - 1;
    const std::uint64_t digit = digitBytes(low, high) & inLine, point = bytesEqual(low, high, '.') & inLine;
    const std::uint64_t minus = bytesEqual(low, high, '-') & inLine, space = bytesEqual(low, high, ' ') & inLine;
    if ((digit | point | minus | space) != inLine) return false;
    const std::uint64_t filled = inLine & ~space;
    std::uint64_t starts = filled & ~(filled << 1);
    const std::uint64_t ends = filled & ~(filled >> 1);
    if (_mm_popcnt_u64(starts) != 7) return false;
    // The node number: one to nine digits.
    const std::uint64_t firstStart = _blsi_u64(starts), firstEnd = _blsi_u64(ends);
    const std::uint64_t firstField = (firstEnd << 1) - firstStart;
    if ((firstField & ~digit) || _mm_popcnt_u64(firstField) > 9) return false;
    // Each value: a '-' only first, a digit before the point and six after
    // it to the field's end, so one point a value.
    std::uint64_t decimals = 0;
    for (int k = 1; k <= 6; ++k) decimals |= point << k;
    if ((point << 6) != (ends & ~firstEnd) || (decimals & ~digit) || ((point >> 1) & ~digit) || (minus & ~starts)) return false;
    std::int32_t value = 0;
    for (auto i = static_cast<std::size_t>(_tzcnt_u64(firstStart)); i <= _tzcnt_u64(firstEnd); ++i) value = value * 10 + (p[i] - '0');
    starts = _blsr_u64(starts);
    std::uint64_t points = point;
    alignas(32) std::int64_t digits[8] = {};
    alignas(32) std::int64_t negative[8] = {};
    for (int k = 0; k < 6; ++k) {
        const auto start = static_cast<std::size_t>(_tzcnt_u64(starts)), at = static_cast<std::size_t>(_tzcnt_u64(points));
        negative[k] = static_cast<std::int64_t>((minus >> start) & 1);
        const std::size_t wholeDigits = at - start - static_cast<std::size_t>(negative[k]);
        const std::uint64_t sixDecimals = loadEight(p + at + 1) << 16;
        if (wholeDigits <= 2) {
            // Up to two digits before the point and the six after it are
            // eight digits: the byte before a single digit counts as '0'.
            const std::uint64_t keep = ~std::uint64_t{0} << (8 * (2 - wholeDigits));
            const std::uint64_t eight = (((loadEight(p + at - 2) & 0xFFFF) | sixDecimals) & keep) | (0x3030u & ~keep);
            digits[k] = static_cast<std::int64_t>(eightDigitValue(eight - 0x3030303030303030ull));
        } else {
            if (wholeDigits > 8) return false;
            // Borrows from the bytes after the whole digits only reach bytes shifted out.
            const std::uint64_t whole = (loadEight(p + start + negative[k]) - 0x3030303030303030ull) << (8 * (8 - wholeDigits));
            digits[k] = static_cast<std::int64_t>(eightDigitValue(whole) * 1000000 + eightDigitValue((sixDecimals | 0x3030u) - 0x3030303030303030ull));
        }
        starts = _blsr_u64(starts);
        points = _blsr_u64(points);
    }
    if (!sixDecimalsToFloats(digits, negative, values)) return false;
    number = value;
    return true;
}

} // namespace

const LineScanner kAvx2LineScanner = {"avx2", avx2FindLineBreak, avx2FindLineEnds, avx2SplitFields, avx2ReadDecimals, avx2ReadBoneLine};

} // namespace veskar
