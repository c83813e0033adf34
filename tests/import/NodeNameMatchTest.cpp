// Animations find their bones by name: exporters renumber, reorder, rename
// the case of and add bones between a model and its animations.

#include "import/NodeNameMatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veskar {
namespace {

std::vector<SkeletonNode> named(const std::vector<std::string>& names)
{
    std::vector<SkeletonNode> nodes(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) nodes[i].name = names[i];
    return nodes;
}

struct MatchRow {
    const char* what;
    std::vector<std::string> model, animation;
    std::vector<std::int32_t> expected;   // per model node
    std::vector<std::int32_t> unmatchedAnimation;
    bool sameOrder;
};

TEST(NodeNameMatchTest, ExactNamesFirstThenIgnoringCase)
{
    const MatchRow rows[] = {
        {"same names, same order", {"Bip01", "Bip01 Pelvis"}, {"Bip01", "Bip01 Pelvis"}, {0, 1}, {}, true},
        {"reordered", {"Bip01", "Bip01 Pelvis", "Bip01 Spine"}, {"Bip01 Spine", "Bip01", "Bip01 Pelvis"}, {1, 2, 0}, {}, false},
        {"case differs", {"Bip01 L Hand"}, {"bip01 l hand"}, {0}, {}, false},
        {"an exact match wins over an earlier one in another case", {"Spine"}, {"SPINE", "Spine"}, {1}, {0}, false},
        {"a name twice: earlier takes earlier", {"Bone", "Bone"}, {"Bone", "Bone"}, {0, 1}, {}, true},
        {"extra and missing bones", {"Bip01", "Tail"}, {"Prop", "Bip01"}, {1, -1}, {0}, false},
        {"another skeleton", {"a", "b"}, {"c"}, {-1, -1}, {0}, false},
    };
    for (const MatchRow& row : rows) {
        SCOPED_TRACE(row.what);
        const auto model = named(row.model);
        const auto animation = named(row.animation);
        const NodeNameMatch m = matchNodesByName(model, animation);
        EXPECT_EQ(m.animationNode, row.expected);
        EXPECT_EQ(m.unmatchedAnimationNodes, row.unmatchedAnimation);
        EXPECT_EQ(m.sameOrder, row.sameOrder);
        std::int32_t matched = 0;
        std::vector<std::int32_t> unmatchedModel;
        for (std::size_t i = 0; i < row.expected.size(); ++i) {
            if (row.expected[i] >= 0) ++matched;
            else unmatchedModel.push_back(static_cast<std::int32_t>(i));
        }
        EXPECT_EQ(m.matched, matched);
        EXPECT_EQ(m.unmatchedModelNodes, unmatchedModel);
    }
}

} // namespace
} // namespace veskar
