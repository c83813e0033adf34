#include "app/MenuCommands.h"

namespace veskar {

std::vector<MenuItem> mainMenu()
{
    using namespace command;
    return {
        {0, "&File", 0},
        {1, "&Clean", kClean},
        {1, "&Recent", 0},
        // Captions come from the recent files; an item without one is hidden.
        {2, "", kRecentFirst},
        {2, "", kRecentFirst + 1},
        {2, "", kRecentFirst + 2},
        {2, "", kRecentFirst + 3},
        {2, "", kRecentFirst + 4},
        {2, "", kRecentFirst + 5},
        {2, "", kRecentFirst + 6},
        {2, "", kRecentFirst + 7},
        {1, "E&xit", kExit},
        {0, "&Open", 0},
        {1, "&SMD", 0},
        {2, "&Ref", kOpenSmdRef},
        {2, "&Ani", kOpenSmdAni},
        {1, "Kovr&1", 0},
        {2, "m&Ref", kOpenKovr1Ref},
        {2, "m&Ani", kOpenKovr1Ani},
        {1, "Kovr&2", 0},
        {2, "m&Ref", kOpenKovr2Ref},
        {2, "m&Ani", kOpenKovr2Ani},
        {1, "&Weapon_Kovr", 0},
        {2, "m&Ref", kOpenWeaponRef},
        {1, "&glTF", kOpenGltf},
        {0, "&Convert", 0},
        {1, "&Ref", kConvertRef},
        {1, "&Ani", kConvertAni},
        {0, "&View", 0},
        {1, "&Frame model\tHome", kFrameModel},
        {1, "&Reset camera\tBackspace", kResetCamera},
        {1, "&In place\tI", kInPlace},
    };
}

bool takesFile(std::uint32_t id) { return !commandLabel(id).empty(); }

std::string commandLabel(std::uint32_t id)
{
    using namespace command;
    switch (id) {
    case kOpenSmdRef: return "Open > SMD > Ref";
    case kOpenSmdAni: return "Open > SMD > Ani";
    case kOpenKovr1Ref: return "Open > Kovr1 > mRef";
    case kOpenKovr1Ani: return "Open > Kovr1 > mAni";
    case kOpenKovr2Ref: return "Open > Kovr2 > mRef";
    case kOpenKovr2Ani: return "Open > Kovr2 > mAni";
    case kOpenWeaponRef: return "Open > Weapon_Kovr > mRef";
    case kOpenGltf: return "Open > glTF";
    case kConvertRef: return "Convert > Ref";
    case kConvertAni: return "Convert > Ani";
    default: return {};
    }
}

const FileFilter& smdFilter()
{
    static const FileFilter filter{"3DS MAX SMD Files(*.SMD)", "*.SMD"};
    return filter;
}

const FileFilter& mRefFilter()
{
    static const FileFilter filter{"3DS MAX SMD Files(*.mRef)", "*.mRef"};
    return filter;
}

const FileFilter& mAniFilter()
{
    static const FileFilter filter{"3DS MAX SMD Files(*.mAni)", "*.mAni"};
    return filter;
}

const FileFilter& gltfFilter()
{
    static const FileFilter filter{"glTF 2.0 Files(*.glb;*.gltf)", "*.glb;*.gltf"};
    return filter;
}

} // namespace veskar
