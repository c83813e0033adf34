#pragma once
// Lines formatted once and written many times: a corner that several
// triangles share repeats the same text, so the converter's exact comparison
// merges them.

#include "mref/TextWriter.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace veskar::sample {

class LineTable {
public:
    void reserve(std::size_t bytes, std::size_t lines)
    {
        text_.reserve(bytes);
        ends_.reserve(lines);
    }
    // The next line is written here and closed with endLine() (which adds its '\n').
    TextWriter& writer() { return text_; }
    void endLine()
    {
        text_.put('\n');
        closeLine();
    }
    // Closes a line written with its '\n' already.
    void closeLine() { ends_.push_back(text_.size()); }
    std::string_view operator[](std::size_t i) const
    {
        const std::size_t start = i == 0 ? 0 : ends_[i - 1];
        return text_.text().substr(start, ends_[i] - start);
    }

private:
    TextWriter text_;
    std::vector<std::size_t> ends_;
};

} // namespace veskar::sample
