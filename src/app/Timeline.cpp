// The timeline strip under the picture: what it shows, sent to the host when
// it changes, and what its controls ask for.

#include "app/Application.h"
#include "app/MenuCommands.h"
#include "render/SmdModel.h"
#include "import/TextScan.h"
#include "render/EngineModel.h"

#include <algorithm>

namespace veskar {

namespace {

constexpr const char* kNoWeights = "(no weights)";

} // namespace

std::optional<Animated> Application::listedModel() const
{
    if (const auto shown = timelineModel()) return shown;
    for (Animated which : {Animated::Primary, Animated::Smd, Animated::Secondary})
        if (!animationNames_[indexOf(which)].empty()) return which;
    return std::nullopt;
}

std::span<const SkeletonNode> Application::boneListNodes() const
{
    // The bones of the model the timeline would name first, by mesh.
    for (Animated which : {Animated::Primary, Animated::Smd, Animated::Secondary}) {
        if (which == Animated::Smd) {
            if (smdModel && smdModel->hasMesh) return smdModel->meshes[0].nodes;
            continue;
        }
        const EngineModel* model = characterOf(which);
        if (model && model->hasMesh) return model->meshes[0].nodes;
    }
    return {};
}

void Application::rebuildTimelineLists(TimelineState& state) const
{
    const std::optional<Animated> listed = listedModel();
    state.animations = listed ? animationNames_[indexOf(*listed)] : std::vector<std::string>{};
    state.speeds.clear();
    for (float speed : kPlaybackSpeeds) state.speeds.push_back(speedCaption(speed));
    state.bones.assign(1, kNoWeights);
    for (const SkeletonNode& node : boneListNodes()) state.bones.push_back(node.name);
    state.bone = 0;
    if (!weightsShown) return;
    for (std::size_t i = 1; i < state.bones.size(); ++i) {
        if (!equalsIgnoringCase(state.bones[i], weightBone)) continue;
        state.bone = static_cast<int>(i);
        break;
    }
}

void Application::updateTimeline()
{
    if (!host) return;
    const std::optional<Animated> shown = timelineModel();
    const SkeletonAnimation* a = shown ? playedAnimation(*shown) : nullptr;
    const std::optional<Animated> listed = listedModel();
    const int keyCount = a ? a->frameCount : 0;
    const int key = a ? std::clamp(a->currentFrame, 0, a->frameCount - 1) : 0;
    const bool playing = a && !paused;
    const int speed = static_cast<int>(nearestSpeed(playbackSpeed()));
    const int animation = listed ? pickedAnimation(*listed) : -1;
    if (!timelineListsChanged_ && keyCount == timeline_.keyCount && key == timeline_.key && playing == timeline_.playing &&
        speed == timeline_.speed && animation == timeline_.animation)
        return;
    if (timelineListsChanged_) rebuildTimelineLists(timeline_);
    timelineListsChanged_ = false;
    timeline_.keyCount = keyCount;
    timeline_.key = key;
    timeline_.playing = playing;
    timeline_.speed = speed;
    timeline_.animation = animation;
    host->showTimeline(timeline_);
}

void Application::onStripControl(std::uint32_t id, std::uint32_t notification, std::intptr_t value)
{
    const bool picked = notification == CBN_SELCHANGE && value >= 0;
    const auto index = static_cast<std::size_t>(value);
    switch (id) {
    case strip::kPlay: onCommand(command::kPlayPause); break;
    case strip::kAnimations:
        if (const auto listed = listedModel(); picked && listed) pickAnimation(*listed, static_cast<int>(value));
        break;
    case strip::kSpeed:
        if (picked && index < kPlaybackSpeeds.size()) setPlaybackSpeed(kPlaybackSpeeds[index]);
        break;
    case strip::kBones:
        if (picked) setWeightBone(index > 0 && index < timeline_.bones.size() ? timeline_.bones[index] : std::string());
        break;
    default: break;
    }
}

void Application::setWeightBone(const std::string& name)
{
    weightBone = name;
    weightsShown = !name.empty();
    if (weightsShown) weightBoneBefore_ = name;
    if (host) host->setMenuCheck(command::kWeights, weightsShown);
    timelineListsChanged_ = true;
}

} // namespace veskar
