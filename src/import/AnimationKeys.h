#pragma once
// An animation as its file gives it, for writing it out again: the nodes'
// names and parents once, and six numbers (x y z rx ry rz) a node a frame.
// The viewer's frame tables hold a name and two matrices for every node of
// every frame; a converter needs none of that.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veskar {

struct AnimationKeys {
    static constexpr std::size_t kValuesPerKey = 6;

    std::int32_t frameCount = 0;
    std::int32_t nodeCount = 0;
    std::vector<std::string> names;     // nodeCount
    std::vector<std::int32_t> parents;  // nodeCount, -1 for a root
    std::vector<float> values;          // frameCount x nodeCount x 6

    // The tables hold what the counts say.
    bool matchesCounts() const
    {
        const auto nodes = static_cast<std::size_t>(nodeCount);
        return frameCount >= 0 && nodeCount >= 0 && names.size() == nodes && parents.size() == nodes &&
               values.size() == static_cast<std::size_t>(frameCount) * nodes * kValuesPerKey;
    }
    std::span<const float, kValuesPerKey> key(std::int32_t frame, std::int32_t node) const
    {
        const std::size_t at = (static_cast<std::size_t>(frame) * static_cast<std::size_t>(nodeCount) + static_cast<std::size_t>(node)) * kValuesPerKey;
        return std::span<const float, kValuesPerKey>(values.data() + at, kValuesPerKey);
    }
    void clear()
    {
        frameCount = nodeCount = 0;
        std::vector<std::string>().swap(names);
        std::vector<std::int32_t>().swap(parents);
        std::vector<float>().swap(values);
    }
};

} // namespace veskar
