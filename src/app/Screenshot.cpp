#include "app/Screenshot.h"

#include "system/AtomicFile.h"
#include "gpu/Device.h"
#include "base/PngEncoder.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace veskar {

namespace {

// Enough for every second of a day's worth of presses.
constexpr int kMostNamesTried = 100000;

} // namespace

std::string screenshotName(const std::tm& time)
{
    char name[64];
    if (std::strftime(name, sizeof name, "veskar-%Y%m%d-%H%M%S.png", &time) == 0) return "veskar.png";
    return name;
}

bool saveScreenshot(Device& device, const std::string& folder, const std::tm& time, std::string& path, std::string& error)
{
    std::vector<std::uint8_t> rgba;
    int width = 0, height = 0;
    if (!device.readPixels(rgba, width, height)) {
        error = "the frame cannot be read back";
        return false;
    }
    // The window shows colour whatever alpha the drawing left; so does the
    // picture.
    for (std::size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
    std::string png;
    if (!encodePng(rgba.data(), width, height, png)) {
        error = "the picture cannot be encoded as PNG";
        return false;
    }
    const std::filesystem::path base = std::filesystem::path(folder.empty() ? "." : folder);
    const std::string name = screenshotName(time);
    const std::string stem = name.substr(0, name.size() - 4);
    std::error_code ec;
    for (int n = 1; n <= kMostNamesTried; ++n) {
        const std::filesystem::path candidate = base / (n == 1 ? name : stem + "-" + std::to_string(n) + ".png");
        if (std::filesystem::exists(candidate, ec)) continue;
        path = folder.empty() ? candidate.filename().string() : candidate.string();
        return writeFileAtomically(path, png, error);
    }
    error = "every name for this second is taken in " + base.string();
    return false;
}

} // namespace veskar
