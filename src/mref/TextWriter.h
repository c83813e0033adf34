#pragma once
// The one writer of the system's text files (mRef, mAni, and the SMD files
// the sample generator makes): text built in memory, numbers written as "%d",
// "%Nd", "%0Nd" and "%f" (six decimals) would write them. Large outputs are
// handed to their file in pieces instead of being held whole.

#include "system/AtomicFile.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace veskar {

// Outputs go to their file in pieces of about this size.
constexpr std::size_t kOutputPiece = std::size_t{1} << 20;

// The longest "%f" the quick way writes: '-', ten digits, '.', six decimals,
// and room to spare.
constexpr std::size_t kQuickFloatBytes = 24;

// The text of a line's six floats, kept to be copied where the same float
// comes again: in an animation most of a bone's numbers (its position above
// all) stay the same from one frame to the next, and a copy costs a fraction
// of formatting. Zeros keep nothing.
struct RepeatedFloats {
    std::uint32_t bits[6];
    std::uint8_t length[6];  // 0: nothing kept in this slot
    char text[6][kQuickFloatBytes];
};

class TextWriter {
public:
    TextWriter() = default;
    // Text for a file: spill() hands it over a piece at a time.
    explicit TextWriter(AtomicFile& file) : file_(&file) { reserve(kOutputPiece + 4096); }

    void reserve(std::size_t bytes)
    {
        if (bytes > capacity_) grow(bytes - size_);
    }
    TextWriter& put(std::string_view s)
    {
        std::memcpy(room(s.size()), s.data(), s.size());
        size_ += s.size();
        return *this;
    }
    TextWriter& put(char c)
    {
        *room(1) = c;
        ++size_;
        return *this;
    }
    TextWriter& putInt(std::int32_t v)
    {
        char* p = room(16);
        size_ += static_cast<std::size_t>(std::to_chars(p, p + 16, v).ptr - p);
        return *this;
    }
    // "%3d" (fill ' ') or "%03d" (fill '0'): at least width columns,
    // right-aligned; zeros go after the sign.
    TextWriter& putInt(std::int32_t v, int width, char fill = ' ')
    {
        if (width == 3 && v >= 0 && v < 1000) {
            // Node numbers of bone lines.
            char* p = room(3);
            p[0] = v >= 100 ? static_cast<char>('0' + v / 100) : fill;
            p[1] = v >= 10 ? static_cast<char>('0' + v / 10 % 10) : fill;
            p[2] = static_cast<char>('0' + v % 10);
            size_ += 3;
            return *this;
        }
        char buffer[16];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
        const char* digits = buffer;
        auto length = static_cast<std::size_t>(r.ptr - buffer);
        const auto columns = static_cast<std::size_t>(width > 0 ? width : 0);
        const std::size_t pad = length < columns ? columns - length : 0;
        char* p = room(length + pad);
        if (fill == '0' && v < 0) {
            *p++ = '-';
            ++digits;
            --length;
        }
        std::memset(p, fill, pad);
        std::memcpy(p + pad, digits, length);
        size_ += pad + length + (digits != buffer ? 1 : 0);
        return *this;
    }
    // "%f" of a float (promoted to double, as printf sees it).
    TextWriter& putFloat(float v)
    {
        char* const p = room(kQuickFloatBytes);
        if (char* const end = writeQuickFloat(p, v)) {
            size_ += static_cast<std::size_t>(end - p);
            return *this;
        }
        return putDouble(v);
    }
    // " %f" of each float: one line's numbers with one check for room.
    TextWriter& putFloats(const float* values, std::size_t count)
    {
        char* const start = room(count * (kQuickFloatBytes + 1));
        char* p = start;
        for (std::size_t i = 0; i < count; ++i) {
            *p = ' ';
            char* const end = writeQuickFloat(p + 1, values[i]);
            if (!end) {
                // A value for the general way: it and the rest one at a time.
                size_ += static_cast<std::size_t>(p - start);
                for (; i < count; ++i) put(' ').putFloat(values[i]);
                return *this;
            }
            p = end;
        }
        size_ += static_cast<std::size_t>(p - start);
        return *this;
    }
    // " %f" of each of six floats, as putFloats writes them: a float that is,
    // bit for bit, the one kept in its slot is copied from there.
    TextWriter& putFloatsRepeating(const float (&values)[6], RepeatedFloats& kept)
    {
        char* const start = room(6 * (kQuickFloatBytes + 1));
        char* p = start;
        for (std::size_t i = 0; i < 6; ++i) {
            *p++ = ' ';
            const auto bits = std::bit_cast<std::uint32_t>(values[i]);
            if (kept.length[i] != 0 && kept.bits[i] == bits) {
                std::memcpy(p, kept.text[i], kQuickFloatBytes);
                p += kept.length[i];
                continue;
            }
            char* const end = writeQuickFloat(p, values[i]);
            if (!end) {
                size_ += static_cast<std::size_t>(p - 1 - start);
                for (; i < 6; ++i) put(' ').putFloat(values[i]);
                return *this;
            }
            kept.bits[i] = bits;
            kept.length[i] = static_cast<std::uint8_t>(end - p);
            std::memcpy(kept.text[i], p, kQuickFloatBytes);
            p = end;
        }
        size_ += static_cast<std::size_t>(p - start);
        return *this;
    }
    // "%f" of a double.
    TextWriter& putDouble(double v)
    {
        // The longest, DBL_MAX, has 309 digits before the point.
        char* p = room(330);
        auto r = std::to_chars(p, p + 330, v, std::chars_format::fixed, 6);
        if (r.ec != std::errc()) return put("0.000000");
        size_ += static_cast<std::size_t>(r.ptr - p);
        return *this;
    }
    TextWriter& putReal(float v) { return putFloat(v); }
    TextWriter& putReal(double v) { return putDouble(v); }
    std::size_t size() const { return size_; }
    // Starts over, keeping the room.
    void clear() { size_ = 0; }
    // Hands what was built so far to the file and starts over.
    void drainTo(AtomicFile& file)
    {
        file.append(text());
        size_ = 0;
    }
    // With a file, hands the text over once a piece of it has gathered.
    void spill()
    {
        if (file_ && size_ >= kOutputPiece) drainTo(*file_);
    }
    // With a file, hands over what has gathered, however little: after a
    // chunk formatted in one go, so the buffer holds one chunk at most, never
    // grows, and its pages stay few and warm.
    void spillAll()
    {
        if (file_ && size_ > 0) drainTo(*file_);
    }
    // Puts text formatted elsewhere; with a file, what is there goes to it
    // first, then the text itself, without a copy here.
    TextWriter& putBlock(std::string_view s)
    {
        if (!file_) return put(s);
        if (size_ > 0) drainTo(*file_);
        file_->append(s);
        return *this;
    }
    std::string_view text() const { return {buffer_.get(), size_}; }

private:
    // "%f" of v at p when |v| * 10^6 is below 9e15 (at most kQuickFloatBytes
    // bytes): where it ends; null for larger values, inf and NaN.
    static char* writeQuickFloat(char* p, float v)
    {
        // A float is m * 2^e with m below 2^24, so v * 10^6 = m * 15625 * 2^(e+6)
        // needs at most 38 significant bits: the product is exact, and rounding
        // it to an integer (ties to even, as printf rounds the exact value) gives
        // the six decimals.
        double units = std::fabs(static_cast<double>(v) * 1e6);
        if (!(units < 9.0e15)) return nullptr;
        // Adding 2^52 and taking it away again rounds to an integer, ties to
        // even, in the default rounding printf rounds in too; from 2^52 on
        // every double is one.
        constexpr double kTwoTo52 = 4503599627370496.0;
        if (units < kTwoTo52) units = (units + kTwoTo52) - kTwoTo52;
        // Below 2^63: the signed conversion, one instruction, does.
        const auto scaled = static_cast<std::uint64_t>(static_cast<std::int64_t>(units));
        const std::uint64_t whole = scaled / 1000000;
        const auto fraction = static_cast<std::uint32_t>(scaled - whole * 1000000);
        *p = '-';
        p += std::signbit(v) ? 1 : 0;
        if (whole < 10) {
            *p++ = static_cast<char>('0' + whole);
        } else if (whole < 100) {
            putDigitPair(p, static_cast<std::uint32_t>(whole));
            p += 2;
        } else {
            p = std::to_chars(p, p + 20, whole).ptr;
        }
        *p = '.';
        putDigitPair(p + 1, fraction / 10000);
        putDigitPair(p + 3, fraction / 100 % 100);
        putDigitPair(p + 5, fraction % 100);
        return p + 7;
    }
    static void putDigitPair(char* p, std::uint32_t n)
    {
        static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                         "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                         "8081828384858687888990919293949596979899";
        std::memcpy(p, kPairs + 2 * n, 2);
    }
    // At least bytes of writable room after the text.
    char* room(std::size_t bytes)
    {
        if (capacity_ - size_ < bytes) grow(bytes);
        return buffer_.get() + size_;
    }
    void grow(std::size_t bytes)
    {
        std::size_t capacity = capacity_ ? capacity_ * 2 : 256;
        while (capacity - size_ < bytes) capacity *= 2;
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_) std::memcpy(bigger.get(), buffer_.get(), size_);
        buffer_ = std::move(bigger);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> buffer_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    AtomicFile* file_ = nullptr;
};

// The lines the SMD family of formats shares. A node: N "name" parent.
inline TextWriter& putNodeLine(TextWriter& out, std::int32_t number, std::string_view name, std::int32_t parent)
{
    return out.putInt(number).put(" \"").put(name).put("\" ").putInt(parent).put('\n');
}

// A bone: N x y z rx ry rz, N in at least numberWidth columns.
template <typename Real>
TextWriter& putBoneLine(TextWriter& out, std::int32_t number, int numberWidth, const Real (&values)[6])
{
    out.putInt(number, numberWidth);
    if constexpr (std::is_same_v<Real, float>) {
        out.putFloats(values, 6);
    } else {
        for (Real v : values) out.put(' ').putReal(v);
    }
    return out.put('\n');
}

// The start of a vertex line: parent bone, position, normal, u, v and the
// link count; the bone and weight pairs follow.
template <typename Real>
TextWriter& putVertexStart(TextWriter& out, std::int32_t parent, const Real (&values)[8], std::int32_t linkCount)
{
    out.putInt(parent);
    if constexpr (std::is_same_v<Real, float>) {
        out.putFloats(values, 8);
    } else {
        for (Real v : values) out.put(' ').putReal(v);
    }
    return out.put(' ').putInt(linkCount);
}

// Writes path atomically with the text write gives (write may spill() as it
// goes). False with a reason when the file could not be written; the target
// is then untouched.
template <typename Write>
bool writeTextFile(const std::string& path, std::string& reason, Write&& write)
{
    AtomicFile file;
    if (!file.create(path, reason)) return false;
    TextWriter out(file);
    write(out);
    out.drainTo(file);
    return file.commit(reason);
}

} // namespace veskar
