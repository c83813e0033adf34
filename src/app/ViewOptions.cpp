#include "app/ViewOptions.h"

#include <charconv>

namespace veskar {

bool parseCount(std::string_view text, int least, int most, int& out)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < least || value > most) return false;
    out = value;
    return true;
}

bool parseShownLayers(std::string_view list, ShownLayers& out, std::string& unknown)
{
    ShownLayers shown;
    shown.grid = shown.overlay = false;
    if (list == "none") {
        out = shown;
        return true;
    }
    const std::pair<std::string_view, bool ShownLayers::*> items[] = {
        {"grid", &ShownLayers::grid},   {"overlay", &ShownLayers::overlay}, {"skeleton", &ShownLayers::skeleton},
        {"names", &ShownLayers::names}, {"normals", &ShownLayers::normals}, {"wireframe", &ShownLayers::wireframe},
    };
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        bool known = false;
        for (const auto& [name, field] : items) {
            if (item != name) continue;
            shown.*field = true;
            known = true;
        }
        if (!known) {
            unknown = item;
            return false;
        }
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    out = shown;
    return true;
}

bool parseViewSide(std::string_view text, ViewSide& out)
{
    const std::pair<std::string_view, ViewSide> sides[] = {{"front", ViewSide::Front}, {"back", ViewSide::Back},
                                                           {"left", ViewSide::Left},   {"right", ViewSide::Right},
                                                           {"top", ViewSide::Top},     {"bottom", ViewSide::Bottom}};
    for (const auto& [name, side] : sides) {
        if (text != name) continue;
        out = side;
        return true;
    }
    return false;
}

bool parseBackground(std::string_view text, std::uint32_t& argb)
{
    // Transparent keeps the usual colour under alpha 0, so a viewer that
    // ignores alpha shows the usual picture.
    if (text == "transparent") {
        argb = 0x00004040;
        return true;
    }
    if (text.size() != 7 || text[0] != '#') return false;
    std::uint32_t rgb = 0;
    const auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
    if (error != std::errc() || end != text.data() + 7) return false;
    argb = 0xFF000000u | rgb;
    return true;
}

bool parsePictureSize(std::string_view text, int& width, int& height)
{
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    int w = 0, h = 0;
    if (!parseCount(text.substr(0, x), 1, kLargestPicture, w) || !parseCount(text.substr(x + 1), 1, kLargestPicture, h)) return false;
    width = w;
    height = h;
    return true;
}

} // namespace veskar

