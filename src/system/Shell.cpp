#include "system/Shell.h"

#include <cstdio>

namespace veskar {

namespace {
StderrShell defaultShell;
Shell* currentShell = &defaultShell;
} // namespace

void StderrShell::messageBox(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
}

Shell& shell() { return *currentShell; }

Shell* setShell(Shell* s)
{
    Shell* previous = currentShell;
    currentShell = s ? s : &defaultShell;
    return previous == &defaultShell ? nullptr : previous;
}

} // namespace veskar
