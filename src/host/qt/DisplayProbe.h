#pragma once
// Whether the window system is there, asked before Qt is: when its platform
// plugin cannot connect, Qt ends the process (SIGABRT) instead of failing.

#include <string>

namespace veskar {

// False with one line saying what is missing and how to get it when no
// window can be had: no display named, or no X server at the one named.
bool probeDisplay(std::string& error);

// Runs make (the QApplication's construction) with Qt's messages held back;
// a fatal one ends the program with exit status 1 and one line on standard
// error instead of aborting.
void startQtQuietly(void (*make)(void*), void* context);

} // namespace veskar
