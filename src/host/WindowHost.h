#pragma once
// The platform's window host for the viewer: the Qt window on Linux, the
// Win32 window on Windows, and where each keeps the viewer's settings between
// runs. Each host's source files hold the definitions, and the build links
// one of them.

#include "host/Host.h"
#include "host/Settings.h"

#include <memory>

namespace veskar {

std::unique_ptr<Host> makeWindowHost();
std::unique_ptr<Settings> makeWindowSettings();

} // namespace veskar
