#include "import/NodeNameMatch.h"

#include <cctype>
#include <string>
#include <string_view>
#include <unordered_map>

namespace veskar {

namespace {

std::string foldCase(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// Animation nodes by key, each list in file order; taken from the front.
class NameQueue {
public:
    void add(std::string key, std::int32_t node) { queues_[std::move(key)].push_back(node); }
    // The first node of that key not yet claimed, or -1.
    std::int32_t take(const std::string& key, std::vector<bool>& claimed)
    {
        const auto it = queues_.find(key);
        if (it == queues_.end()) return -1;
        for (std::int32_t node : it->second) {
            if (!claimed[static_cast<std::size_t>(node)]) {
                claimed[static_cast<std::size_t>(node)] = true;
                return node;
            }
        }
        return -1;
    }

private:
    std::unordered_map<std::string, std::vector<std::int32_t>> queues_;
};

} // namespace

NodeNameMatch matchNodesByName(std::span<const SkeletonNode> model, std::span<const SkeletonNode> animation)
{
    NodeNameMatch match;
    match.animationNode.assign(model.size(), -1);
    match.sameOrder = model.size() == animation.size();
    for (std::size_t i = 0; match.sameOrder && i < model.size(); ++i) match.sameOrder = model[i].name == animation[i].name;

    NameQueue exact, folded;
    for (std::size_t a = 0; a < animation.size(); ++a) {
        exact.add(animation[a].name, static_cast<std::int32_t>(a));
        folded.add(foldCase(animation[a].name), static_cast<std::int32_t>(a));
    }
    std::vector<bool> claimed(animation.size(), false);
    for (std::size_t m = 0; m < model.size(); ++m) match.animationNode[m] = exact.take(model[m].name, claimed);
    for (std::size_t m = 0; m < model.size(); ++m)
        if (match.animationNode[m] < 0) match.animationNode[m] = folded.take(foldCase(model[m].name), claimed);

    for (std::size_t m = 0; m < model.size(); ++m) {
        if (match.animationNode[m] >= 0) ++match.matched;
        else match.unmatchedModelNodes.push_back(static_cast<std::int32_t>(m));
    }
    for (std::size_t a = 0; a < animation.size(); ++a)
        if (!claimed[a]) match.unmatchedAnimationNodes.push_back(static_cast<std::int32_t>(a));
    return match;
}

} // namespace veskar
