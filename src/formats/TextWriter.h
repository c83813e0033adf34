#pragma once
// Builds the text of an output file in memory, numbers written as "%d" and
// "%f" (six decimals) would write them.

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace veskar {

class TextWriter {
public:
    void reserve(std::size_t bytes) { text_.reserve(bytes); }
    TextWriter& put(std::string_view s)
    {
        text_.append(s);
        return *this;
    }
    TextWriter& put(char c)
    {
        text_.push_back(c);
        return *this;
    }
    TextWriter& putInt(std::int32_t v)
    {
        char buffer[16];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
        text_.append(buffer, static_cast<std::size_t>(r.ptr - buffer));
        return *this;
    }
    // "%3d": right-aligned in three columns.
    TextWriter& putInt3(std::int32_t v)
    {
        char buffer[16];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
        const auto length = static_cast<std::size_t>(r.ptr - buffer);
        if (length < 3) text_.append(3 - length, ' ');
        text_.append(buffer, length);
        return *this;
    }
    // "%f" of a float (promoted to double, as printf sees it).
    TextWriter& putFloat(float v)
    {
        char buffer[64];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(v), std::chars_format::fixed, 6);
        if (r.ec != std::errc()) {
            text_.append("0.000000");
            return *this;
        }
        text_.append(buffer, static_cast<std::size_t>(r.ptr - buffer));
        return *this;
    }
    const std::string& text() const { return text_; }
    std::string& text() { return text_; }

private:
    std::string text_;
};

} // namespace veskar
