#include <windows.h>

#include "gpu/gl/win32/GlFunctions.h"

namespace veskar {

#define VESKAR_GL(ret, name, params) ret(APIENTRY* name) params = nullptr;
#include "gpu/gl/win32/GlFunctionList.h"
#undef VESKAR_GL

namespace {

struct Entry {
    const char* name;
    void** slot;
};

// The pointers are written through void**: they are all the same size, and
// GetProcAddress hands them out untyped anyway.
const Entry kEntries[] = {
#define VESKAR_GL(ret, name, params) {#name, reinterpret_cast<void**>(&name)},
#include "gpu/gl/win32/GlFunctionList.h"
#undef VESKAR_GL
};

void* lookUp(HMODULE opengl32, const char* name)
{
    // Some drivers answer 1, 2, 3 or -1 instead of null for what they lack.
    const auto address = reinterpret_cast<std::intptr_t>(wglGetProcAddress(name));
    if (address != 0 && address != 1 && address != 2 && address != 3 && address != -1) return reinterpret_cast<void*>(address);
    // OpenGL 1.1 functions come from opengl32.dll itself, never from the driver.
    return opengl32 ? reinterpret_cast<void*>(GetProcAddress(opengl32, name)) : nullptr;
}

} // namespace

bool loadGlFunctions(std::string& missing)
{
    missing.clear();
    HMODULE opengl32 = GetModuleHandleW(L"opengl32.dll");
    for (const Entry& entry : kEntries) {
        *entry.slot = lookUp(opengl32, entry.name);
        if (!*entry.slot) missing += missing.empty() ? entry.name : std::string(", ") + entry.name;
    }
    return missing.empty();
}

int currentGlVersion()
{
    if (!glGetString) return 0;
    // A desktop context's version string starts "major.minor"; OpenGL ES
    // would start "OpenGL ES".
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!text || text[0] < '1' || text[0] > '9' || text[1] != '.' || text[2] < '0' || text[2] > '9') return 0;
    return (text[0] - '0') * 10 + (text[2] - '0');
}

} // namespace veskar
