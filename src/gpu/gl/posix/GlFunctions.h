#pragma once
// The OpenGL entry points the device calls. Here libepoxy resolves them on
// first use; the Windows build has its own loader behind a header of the same
// name (gpu/gl/win32/GlFunctions.h); src/gpu/CMakeLists.txt makes
// "gpu/gl/GlFunctions.h" the one for the system built for.

#include <epoxy/gl.h>

namespace veskar {

// The current context's OpenGL version as major * 10 + minor; 0 when it is
// not desktop OpenGL.
inline int currentGlVersion() { return epoxy_is_desktop_gl() ? epoxy_gl_version() : 0; }

} // namespace veskar
