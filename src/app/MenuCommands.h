#pragma once
// The menu of the main window: captions with their mnemonics, the command
// identifiers and the Open dialog's filters.

#include "app/Animations.h"
#include "host/Host.h"
#include "host/WindowMessages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

namespace command {
constexpr std::uint32_t kClean = 40001;
constexpr std::uint32_t kExit = 40002;
constexpr std::uint32_t kOpenSmdRef = 40005;
constexpr std::uint32_t kOpenSmdAni = 40006;
constexpr std::uint32_t kOpenKovr1Ref = 40007;
constexpr std::uint32_t kOpenKovr1Ani = 40008;
constexpr std::uint32_t kConvertRef = 40009;
constexpr std::uint32_t kConvertAni = 40010;
constexpr std::uint32_t kOpenKovr2Ref = 40012;
constexpr std::uint32_t kOpenKovr2Ani = 40013;
constexpr std::uint32_t kOpenWeaponRef = 40015;
constexpr std::uint32_t kOpenGltf = 40016;
// View.
constexpr std::uint32_t kFrameModel = 40020;
constexpr std::uint32_t kResetCamera = 40021;
constexpr std::uint32_t kInPlace = 40022;
// View: what is drawn over and around the models.
constexpr std::uint32_t kSkeleton = 40023;
constexpr std::uint32_t kBoneNames = 40024;
constexpr std::uint32_t kNormals = 40025;
constexpr std::uint32_t kWeights = 40026;
constexpr std::uint32_t kWireOverSolid = 40027;
constexpr std::uint32_t kGrid = 40028;
constexpr std::uint32_t kOverlay = 40029;
// View: the camera on a side of what is framed, and the projection.
constexpr std::uint32_t kViewFront = 40040;
constexpr std::uint32_t kViewBack = 40041;
constexpr std::uint32_t kViewLeft = 40042;
constexpr std::uint32_t kViewRight = 40043;
constexpr std::uint32_t kViewTop = 40044;
constexpr std::uint32_t kViewBottom = 40045;
constexpr std::uint32_t kOrthographic = 40046;
// File > Recent: one item for each of the last files, newest first.
constexpr std::uint32_t kRecentFirst = 40101;
constexpr std::size_t kRecentCount = 8;
// Animation.
constexpr std::uint32_t kPlayPause = 40030;
constexpr std::uint32_t kKeyBack = 40031;
constexpr std::uint32_t kKeyForward = 40032;
constexpr std::uint32_t kNormalSpeed = 40033;
constexpr std::uint32_t kQuarterSpeed = 40034;
// Animation > SMD / Kovr1 / Kovr2: one item for each animation a model can
// hold, captioned with its file; the one picked plays.
constexpr std::uint32_t kAnimationFirst = 40200;
constexpr std::size_t kAnimationsPerModel = 32;
constexpr std::uint32_t animationCommand(Animated model, std::size_t index)
{
    return kAnimationFirst + static_cast<std::uint32_t>(indexOf(model) * kAnimationsPerModel + index);
}
constexpr bool isAnimationCommand(std::uint32_t id) { return id >= kAnimationFirst && id < kAnimationFirst + kAnimatedModels * kAnimationsPerModel; }
} // namespace command

std::vector<MenuItem> mainMenu();

// Whether the command asks for a file (every Open and Convert item).
bool takesFile(std::uint32_t id);
// The command as the menu names it, e.g. "Open > Kovr1 > mRef"; empty for one
// that takes no file.
std::string commandLabel(std::uint32_t id);

const FileFilter& smdFilter();
const FileFilter& mRefFilter();
const FileFilter& mAniFilter();
const FileFilter& gltfFilter();

} // namespace veskar
