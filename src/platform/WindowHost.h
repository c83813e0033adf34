#pragma once
// The platform's window host for the viewer: the Qt window on Linux, the
// Win32 window on Windows. Each host's source file holds its definition, and
// the build links one of them.

#include "platform/Host.h"

#include <memory>

namespace veskar {

std::unique_ptr<Host> makeWindowHost();

} // namespace veskar
