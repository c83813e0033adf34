#pragma once
// Builds the text of an output file in memory, numbers written as "%d" and
// "%f" (six decimals) would write them. Large outputs are handed to their file
// in pieces (drainTo) instead of being held whole.

#include "platform/AtomicFile.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace veskar {

// Outputs go to their file in pieces of about this size.
constexpr std::size_t kOutputPiece = std::size_t{1} << 20;

class TextWriter {
public:
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
    // "%3d": right-aligned in three columns.
    TextWriter& putInt3(std::int32_t v)
    {
        char buffer[16];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
        const auto length = static_cast<std::size_t>(r.ptr - buffer);
        char* p = room(length + 3);
        for (std::size_t i = length; i < 3; ++i) *p++ = ' ';
        std::memcpy(p, buffer, length);
        size_ += length < 3 ? 3 : length;
        return *this;
    }
    // "%f" of a float (promoted to double, as printf sees it).
    TextWriter& putFloat(float v)
    {
        // A float is m * 2^e with m below 2^24, so v * 10^6 = m * 15625 * 2^(e+6)
        // needs at most 38 significant bits: the product is exact, and rounding
        // it to an integer (ties to even, as printf rounds the exact value) gives
        // the six decimals. Values too large for that, inf and NaN go the
        // general way.
        const double scaled = static_cast<double>(v) * 1e6;
        if (std::fabs(scaled) < 9.0e15) {
            const auto units = static_cast<std::uint64_t>(std::fabs(std::nearbyint(scaled)));
            std::uint64_t whole = units / 1000000;
            auto fraction = static_cast<std::uint32_t>(units % 1000000);
            char digits[20];
            int n = 0;
            do {
                digits[n++] = static_cast<char>('0' + whole % 10);
                whole /= 10;
            } while (whole != 0);
            char* const start = room(32);
            char* p = start;
            if (std::signbit(v)) *p++ = '-';
            while (n > 0) *p++ = digits[--n];
            *p++ = '.';
            for (int i = 5; i >= 0; --i) {
                p[i] = static_cast<char>('0' + fraction % 10);
                fraction /= 10;
            }
            size_ += static_cast<std::size_t>(p + 6 - start);
            return *this;
        }
        char* p = room(64);
        auto r = std::to_chars(p, p + 64, static_cast<double>(v), std::chars_format::fixed, 6);
        if (r.ec != std::errc()) return put("0.000000");
        size_ += static_cast<std::size_t>(r.ptr - p);
        return *this;
    }
    std::size_t size() const { return size_; }
    // Hands what was built so far to the file and starts over.
    void drainTo(AtomicFile& file)
    {
        file.append(text());
        size_ = 0;
    }
    std::string_view text() const { return {buffer_.get(), size_}; }

private:
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
};

} // namespace veskar
