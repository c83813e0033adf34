#include "import/NodeNumbers.h"

#include <algorithm>
#include <string>

namespace veskar {

namespace {

// Numbers up to this many times the node count (and a little more) are
// looked up directly; a file that names its nodes 1000000, 2000000 ... costs
// a sorted search instead of a table of millions.
constexpr std::size_t kNearPerNode = 4;
constexpr std::size_t kNearAlways = 1024;

} // namespace

void NodeNumbers::build(std::span<const std::int32_t> numbers)
{
    near_.clear();
    far_.clear();
    keepsFileNumbers_ = true;
    std::vector<bool> listed(numbers.size(), false);
    for (const std::int32_t n : numbers) {
        if (n < 0 || static_cast<std::size_t>(n) >= numbers.size() || listed[static_cast<std::size_t>(n)]) {
            keepsFileNumbers_ = false;
            break;
        }
        listed[static_cast<std::size_t>(n)] = true;
    }
    if (keepsFileNumbers_) {
        count_ = static_cast<std::int32_t>(numbers.size());
        return;
    }
    const std::size_t nearLimit = numbers.size() * kNearPerNode + kNearAlways;
    std::int32_t highest = -1;
    for (std::int32_t n : numbers)
        if (n >= 0 && static_cast<std::size_t>(n) < nearLimit) highest = std::max(highest, n);
    near_.assign(static_cast<std::size_t>(highest + 1), kUndeclared);
    const auto isNear = [this](std::int32_t n) { return n >= 0 && static_cast<std::size_t>(n) < near_.size(); };
    // A far number takes its place where it is first listed.
    std::vector<std::pair<std::int32_t, std::size_t>> firstFar;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        if (!isNear(numbers[i])) firstFar.emplace_back(numbers[i], i);
    std::sort(firstFar.begin(), firstFar.end());
    firstFar.erase(std::unique(firstFar.begin(), firstFar.end(), [](const auto& a, const auto& b) { return a.first == b.first; }), firstFar.end());
    std::vector<bool> listedFirst(numbers.size(), false);
    for (const auto& f : firstFar) listedFirst[f.second] = true;
    count_ = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const std::int32_t n = numbers[i];
        if (isNear(n)) {
            std::int32_t& p = near_[static_cast<std::size_t>(n)];
            if (p == kUndeclared) p = count_++;
        } else if (listedFirst[i]) {
            far_.emplace_back(n, count_++);
        }
    }
    std::sort(far_.begin(), far_.end());
}

std::int32_t NodeNumbers::placeFar(std::int32_t number) const
{
    const auto it = std::lower_bound(far_.begin(), far_.end(), number, [](const auto& f, std::int32_t n) { return f.first < n; });
    return it != far_.end() && it->first == number ? it->second : kUndeclared;
}

std::string undeclaredNodeText(const char* what, std::int32_t number)
{
    return std::string(what) + " " + std::to_string(number) + " is not declared in the nodes section";
}

} // namespace veskar
