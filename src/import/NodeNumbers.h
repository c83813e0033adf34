#pragma once
// The node numbers of an SMD file are names for its nodes, not places in a
// table: exporters and hand edits leave gaps (0, 1, 3), start elsewhere or
// repeat a line. This table gives each number its node's place; both SMD
// readers look every number up in it (node and parent, bone line, a vertex's
// parent bone, links), so a file is read the same whichever way it numbers.
//
// A file that numbers its nodes 0 ... n-1, each once, keeps its numbers as
// places, as such files were always read. Any other file (a gap, a repeat, a
// number at or beyond its count) has its nodes placed 0, 1, 2 ... in the order
// the nodes section first lists their numbers: a number it skips never
// becomes a node of its own. A number declared again is the same node. A
// number never declared has no place.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace veskar {

class NodeNumbers {
public:
    static constexpr std::int32_t kUndeclared = -1;

    // numbers: those of the node lines, in file order (blank lines and lines
    // without a number left out).
    void build(std::span<const std::int32_t> numbers);

    // How many nodes the file describes.
    std::int32_t count() const { return count_; }
    // True when the file's numbers are used as places.
    bool keepsFileNumbers() const { return keepsFileNumbers_; }

    // The place of a node number, or kUndeclared. A table lookup: it runs
    // for every number of every line.
    std::int32_t place(std::int32_t number) const
    {
        if (keepsFileNumbers_) return number >= 0 && number < count_ ? number : kUndeclared;
        if (number >= 0 && static_cast<std::size_t>(number) < near_.size()) return near_[static_cast<std::size_t>(number)];
        return placeFar(number);
    }

private:
    std::int32_t placeFar(std::int32_t number) const;

    std::int32_t count_ = 0;
    bool keepsFileNumbers_ = true;
    std::vector<std::int32_t> near_;                          // places of 0 ... up to a few times the node count
    std::vector<std::pair<std::int32_t, std::int32_t>> far_;  // (number, place) of the rest, by number
};

// The refusal of a number the nodes section never declares.
std::string undeclaredNodeText(const char* what, std::int32_t number);

} // namespace veskar
