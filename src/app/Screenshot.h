#pragma once
// Pictures of the window (F12): the frame as drawn, as a PNG named by the
// local time, written whole or not at all.

#include <ctime>
#include <string>

namespace veskar {

class Device;

// "veskar-YYYYMMDD-HHMMSS.png".
std::string screenshotName(const std::tm& time);

// Writes what the device has drawn so far as an opaque PNG into folder (the
// current folder when empty), named by time; a name already taken gets "-2",
// "-3" ... before ".png", so no picture is ever written over. The file
// appears only once complete. path gets where it went; false with the reason.
bool saveScreenshot(Device& device, const std::string& folder, const std::tm& time, std::string& path, std::string& error);

} // namespace veskar
