#pragma once
// The OpenGL entry points the device calls, on Windows: function pointers of
// our own, named as the GL functions, that loadGlFunctions() fills from the
// current WGL context (GlFunctionList.h lists them). opengl32.dll itself
// exports only OpenGL 1.1. The Linux build has libepoxy behind a header of the
// same name; src/gpu/CMakeLists.txt makes "gpu/gl/GlFunctions.h" the
// one for the system built for.
//
// A translation unit that needs <windows.h> as well includes it first: it
// defines APIENTRY, which otherwise is defined empty here (x86-64 has one
// calling convention) so that glcorearb.h does not pull <windows.h> in.

#ifndef APIENTRY
#define APIENTRY
#endif
#include <GL/glcorearb.h>

#include <string>

namespace veskar {

#define VESKAR_GL(ret, name, params) extern ret(APIENTRY* name) params;
#include "gpu/gl/win32/GlFunctionList.h"
#undef VESKAR_GL

// Fills every pointer from the context current on this thread; false with the
// names of those it could not find. Call again after making another context
// current: drivers may hand out different entry points per pixel format.
bool loadGlFunctions(std::string& missing);

// The current context's OpenGL version as major * 10 + minor; 0 when the
// functions are not loaded or the version cannot be read.
int currentGlVersion();

} // namespace veskar
