#pragma once
// The menu of the main window: captions with their mnemonics, the command
// identifiers and the Open dialog's filters.

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
// File > Recent: one item for each of the last files, newest first.
constexpr std::uint32_t kRecentFirst = 40101;
constexpr std::size_t kRecentCount = 8;
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
