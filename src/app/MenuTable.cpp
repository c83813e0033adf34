#include "app/MenuCommands.h"

namespace veskar {

std::vector<MenuItem> mainMenu()
{
    using namespace command;
    return {
        {0, "&File", 0},
        {1, "&Clean", kClean},
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
        {0, "&Convert", 0},
        {1, "&Ref", kConvertRef},
        {1, "&Ani", kConvertAni},
    };
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

} // namespace veskar
