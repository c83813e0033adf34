// The scans with SSE2, which every x86-64 processor has, and the choice of
// AVX2 where the processor has it.

#include "import/LineScanVariants.h"

#include <bit>
#include <emmintrin.h>

namespace veskar {

namespace {

// The fields of a line from its blanks, 64 bytes at a time: blanks(p) has a
// bit set for each of the 64 bytes at p that scanf skips. Fields begin and
// end where a blank meets a byte that is none; reads up to kScanSlack bytes
// after the line.
template <typename Blanks>
bool splitByBlanks(std::string_view line, LineFields& fields, Blanks blanks)
{
    const std::size_t n = line.size();
    if (n > LineFields::kMaxLine) return false;
    int written = 0;
    std::uint64_t before = 1;  // the line starts after a blank
    for (std::size_t base = 0; base <= n; base += 64) {
        std::uint64_t blank = blanks(line.data() + base);
        if (n - base < 64) blank |= ~std::uint64_t{0} << (n - base);  // the line ends in a blank
        std::uint64_t edges = blank ^ ((blank << 1) | before);
        before = blank >> 63;
        const int count = std::popcount(edges);
        if (written + count > 2 * LineFields::kMaxFields) return false;
        std::uint16_t* out = fields.bounds + written;
        // Four at a time: fewer branches; the spare entries take what is
        // written past the last edge.
        for (int i = 0; i < count; i += 4) {
            for (int k = 0; k < 4; ++k) {
                out[i + k] = static_cast<std::uint16_t>(base + static_cast<std::size_t>(std::countr_zero(edges)));
                edges &= edges - 1;
            }
        }
        written += count;
    }
    fields.count = written / 2;
    return true;
}


const char* sse2FindLineBreak(const char* p, const char* end)
{
    const __m128i newline = _mm_set1_epi8('\n'), ret = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, newline), _mm_cmpeq_epi8(v, ret)), _mm_cmpeq_epi8(v, zero));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit))) return p + std::countr_zero(mask);
        p += 16;
    }
    return plainFindLineBreak(p, end);
}

// Sixteen bytes a step; the step's newlines before a '\r' or zero byte.
std::size_t sse2FindLineEnds(const char* begin, const char* end, std::uint32_t* ends, std::size_t count, std::size_t maxLine)
{
    const __m128i newline = _mm_set1_epi8('\n'), ret = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
    std::size_t found = 0, lineStart = 0;
    const auto size = static_cast<std::size_t>(end - begin);
    for (std::size_t base = 0; found < count && base + 16 <= size; base += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + base));
        auto ends16 = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, newline)));
        const auto stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, ret), _mm_cmpeq_epi8(v, zero))));
        if (stops) ends16 &= (stops & (0u - stops)) - 1;
        for (; ends16 && found < count; ends16 &= ends16 - 1) {
            const std::size_t offset = base + static_cast<std::size_t>(std::countr_zero(ends16));
            if (offset - lineStart > maxLine) return found;
            ends[found++] = static_cast<std::uint32_t>(offset);
            lineStart = offset + 1;
        }
        if (stops || base + 16 - lineStart > maxLine) break;
    }
    return found;
}

// ' ' and '\t' to '\r': scanf's blanks.
std::uint64_t sse2Blanks(const char* p)
{
    std::uint64_t bits = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8('\t'));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8('\r' - '\t')), shifted);
        const __m128i blank = _mm_or_si128(control, _mm_cmpeq_epi8(v, _mm_set1_epi8(' ')));
        bits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(blank))) << (16 * k);
    }
    return bits;
}

bool sse2SplitFields(std::string_view line, LineFields& fields) { return splitByBlanks(line, fields, sse2Blanks); }

} // namespace

// SSE2 has no byte shuffle to gather digits with: numbers go the plain way.
const LineScanner kSse2LineScanner = {"sse2", sse2FindLineBreak, sse2FindLineEnds, sse2SplitFields, plainReadDecimals, plainReadFixedBoneLine};

std::vector<const LineScanner*> fasterLineScanners()
{
    std::vector<const LineScanner*> scanners{&kSse2LineScanner};
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt")) scanners.push_back(&kAvx2LineScanner);
    return scanners;
}

} // namespace veskar
