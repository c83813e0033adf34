#include "import/AnimationFit.h"

#include "import/ConsoleLog.h"

#include <algorithm>
#include <utility>

namespace veskar {

namespace {

constexpr std::size_t kNamesShown = 4;

// "a", "b", "c", "d", ... : the first few names of a list of nodes.
std::string someNames(const std::vector<std::int32_t>& nodes, std::span<const SkeletonNode> table)
{
    std::string text;
    for (std::size_t i = 0; i < std::min(nodes.size(), kNamesShown); ++i)
        text += (i ? ", \"" : "\"") + table[static_cast<std::size_t>(nodes[i])].name + "\"";
    if (nodes.size() > kNamesShown) text += ", ...";
    return text;
}

} // namespace

AnimationFitting fitAnimationByName(SkeletonAnimation& animation, std::span<const SkeletonNode> model, bool composeMatrices)
{
    AnimationFitting fitting;
    if (!animation.hasFrames() || model.empty()) return fitting;
    const auto first = animation.frame(0);
    const NodeNameMatch match = matchNodesByName(model, first);
    if (match.sameOrder) return fitting;
    if (2 * static_cast<std::size_t>(match.matched) < model.size()) {
        fitting.fit = AnimationFit::TooFewMatch;
        fitting.report = "only " + std::to_string(match.matched) + " of the model's " + std::to_string(model.size()) +
                         " nodes have a node of the same name in the animation; at least half must";
        return fitting;
    }
    fitting.report = "[Match] " + std::to_string(match.matched) + " of " + std::to_string(model.size()) + " nodes by name";
    if (!match.unmatchedModelNodes.empty()) fitting.report += "; unmatched: " + someNames(match.unmatchedModelNodes, model);
    if (!match.unmatchedAnimationNodes.empty()) fitting.report += "; ignored: " + someNames(match.unmatchedAnimationNodes, first);

    SkeletonAnimation fitted;
    if (!fitted.allocate(animation.frameCount, static_cast<std::int32_t>(model.size()))) {
        fitting.fit = AnimationFit::NoMemory;
        fitting.report = "not enough memory to match the animation's nodes by name";
        return fitting;
    }
    for (std::int32_t f = 0; f < animation.frameCount; ++f) {
        const auto keys = animation.frame(f);
        const auto nodes = fitted.frame(f);
        for (std::size_t m = 0; m < model.size(); ++m) {
            const std::int32_t a = match.animationNode[m];
            // A node without keys holds its bind pose.
            const SkeletonNode& from = a >= 0 ? keys[static_cast<std::size_t>(a)] : model[m];
            SkeletonNode& node = nodes[m];
            node.name = model[m].name;
            node.parent = model[m].parent;
            if (composeMatrices) {
                node.setPose(from.position[0], from.position[1], from.position[2], from.rotation[0], from.rotation[1], from.rotation[2]);
            } else {
                std::copy(from.position, from.position + 3, node.position);
                std::copy(from.rotation, from.rotation + 3, node.rotation);
            }
        }
        // The model's parents were checked when it was read.
        std::int32_t bad = 0;
        if (composeMatrices) composeWorldMatrices(nodes, bad);
    }
    fitted.blend = animation.blend;
    fitted.currentFrame = animation.currentFrame;
    fitted.nextFrame = animation.nextFrame;
    animation = std::move(fitted);
    fitting.fit = AnimationFit::ByName;
    return fitting;
}

bool keepFitting(const AnimationFitting& fitting)
{
    if (fitting.fit == AnimationFit::ByName) consoleLog().print("%s\n", fitting.report.c_str());
    return fitting.fit == AnimationFit::SameNodes || fitting.fit == AnimationFit::ByName;
}

} // namespace veskar
