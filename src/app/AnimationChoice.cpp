// Which animation each model plays, where playback stands and how fast it
// goes: the Animation menu, the timeline and the keys P , . 1 2 all end here.

#include "app/Application.h"
#include "app/MenuCommands.h"
#include "render/SmdModel.h"
#include "render/EngineModel.h"
#include "render/EngineModelDrawing.h"
#include "render/Playback.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veskar {

const char* animatedTag(Animated model)
{
    switch (model) {
    case Animated::Smd: return "SMD";
    case Animated::Primary: return "Kovr1";
    case Animated::Secondary: return "Kovr2";
    }
    return "";
}

std::size_t nearestSpeed(float speed)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < kPlaybackSpeeds.size(); ++i)
        if (std::fabs(kPlaybackSpeeds[i] - speed) < std::fabs(kPlaybackSpeeds[best] - speed)) best = i;
    return best;
}

std::string speedCaption(float speed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%gx", static_cast<double>(speed));
    return text;
}

std::string animationCaption(std::size_t index, const std::string& name)
{
    std::string caption(1, '&');
    caption.append(std::to_string(index + 1)).append(1, ' ');
    for (char c : name) {
        if (c == '&') caption.push_back('&');
        caption.push_back(c);
    }
    return caption;
}

namespace {

template <typename Animation>
Animation* pickOf(std::span<Animation> animations, std::int32_t pick, std::int32_t count)
{
    if (pick < 0 || pick >= count || static_cast<std::size_t>(pick) >= animations.size()) return nullptr;
    Animation& a = animations[static_cast<std::size_t>(pick)];
    return a.frameCount > 0 && a.hasFrames() ? &a : nullptr;
}

} // namespace

EngineModel* Application::characterOf(Animated which) const
{
    if (!scene || which == Animated::Smd) return nullptr;
    return which == Animated::Primary ? scene->primary.get() : scene->secondary.get();
}

const SkeletonAnimation* Application::playedAnimation(Animated which) const
{
    if (which == Animated::Smd) {
        if (!smdModel || !smdModel->hasMesh || !smdModel->hasAnimation || smdMode != 1) return nullptr;
        return pickOf(std::span<const SmdAnimation>(smdModel->animations), smdModel->currentAnimation, smdModel->animationCount);
    }
    const EngineModel* model = characterOf(which);
    if (!model || !model->hasMesh || !model->hasAnimation) return nullptr;
    const std::int32_t mode = which == Animated::Primary ? scene->primaryMode : scene->secondaryMode;
    if (mode != static_cast<std::int32_t>(DrawMode::Play)) return nullptr;
    return pickOf(std::span<const EngineAnimation>(model->animations), model->currentAnimation, model->animationCount);
}

SkeletonAnimation* Application::playedAnimation(Animated which)
{
    return const_cast<SkeletonAnimation*>(static_cast<const Application&>(*this).playedAnimation(which));
}

int Application::pickedAnimation(Animated which) const
{
    if (which == Animated::Smd) return smdModel ? smdModel->currentAnimation : -1;
    const EngineModel* model = characterOf(which);
    return model ? model->currentAnimation : -1;
}

bool Application::pickAnimation(Animated which, int index)
{
    const auto& names = animationNames_[indexOf(which)];
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return false;
    if (which == Animated::Smd) {
        if (!smdModel || index >= smdModel->animationCount) return false;
        smdModel->currentAnimation = index;
        smdMode = 1;
    } else {
        EngineModel* model = characterOf(which);
        if (!model || index >= model->animationCount) return false;
        model->currentAnimation = index;
        (which == Animated::Primary ? scene->primaryMode : scene->secondaryMode) = static_cast<std::int32_t>(DrawMode::Play);
    }
    showAnimationMenu();
    return true;
}

void Application::animationOpened(Animated which, const std::string& path)
{
    auto& names = animationNames_[indexOf(which)];
    const auto slash = path.find_last_of("/\\");
    names.push_back(slash == std::string::npos ? path : path.substr(slash + 1));
    // The animation just opened is the one to see.
    pickAnimation(which, static_cast<int>(names.size()) - 1);
}

void Application::forgetAnimations(Animated which)
{
    animationNames_[indexOf(which)].clear();
    showAnimationMenu();
}

std::optional<Animated> Application::timelineModel() const
{
    for (Animated which : {Animated::Primary, Animated::Smd, Animated::Secondary})
        if (playedAnimation(which)) return which;
    return std::nullopt;
}

void Application::stepAnimations(int keys)
{
    for (Animated which : kEveryAnimated)
        if (SkeletonAnimation* a = playedAnimation(which)) stepKeys(*a, keys, 0, a->frameCount);
}

void Application::standOnKey(int key)
{
    paused = true;
    for (Animated which : kEveryAnimated) {
        SkeletonAnimation* a = playedAnimation(which);
        if (!a) continue;
        const int target = std::clamp(key, 0, a->frameCount - 1);
        stepKeys(*a, target - a->currentFrame, 0, a->frameCount);
    }
}

void Application::setPlaybackSpeed(float speed)
{
    if (!std::isfinite(speed)) return;
    speedFactor = 2.0f * std::clamp(speed, kSlowestSpeed, kFastestSpeed);
}

void Application::showAnimationMenu()
{
    if (!host) return;
    for (Animated which : kEveryAnimated) {
        const auto& names = animationNames_[indexOf(which)];
        const int pick = pickedAnimation(which);
        for (std::size_t i = 0; i < command::kAnimationsPerModel; ++i) {
            const std::uint32_t id = command::animationCommand(which, i);
            std::string caption = i < names.size() ? animationCaption(i, names[i]) : std::string();
            if (i == 0 && names.empty()) caption = "(none)";
            host->setMenuCaption(id, caption);
            host->setMenuCheck(id, i < names.size() && static_cast<int>(i) == pick);
        }
    }
    timelineListsChanged_ = true;
}

} // namespace veskar
