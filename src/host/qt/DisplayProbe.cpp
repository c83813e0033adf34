#include "host/qt/DisplayProbe.h"

#include <QString>
#include <QtGlobal>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace veskar {

namespace {

const char* const kHowToGetOne = "run under an X server (for example: Xvfb :1 & DISPLAY=:1 veskar), or use --headless";

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string lastMessage;

void holdBack(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtFatalMsg) {
        lastMessage = text.toStdString();
        return;
    }
    // The plugin's own complaint says more than Qt's closing words.
    std::string what = lastMessage.empty() ? text.toStdString() : lastMessage;
    if (const auto newline = what.find('\n'); newline != std::string::npos) what.resize(newline);
    while (!what.empty() && (what.back() == '.' || what.back() == ' ')) what.pop_back();
    std::fprintf(stderr, "veskar: no window can be opened: %s; %s\n", what.c_str(), kHowToGetOne);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

bool probeDisplay(std::string& error)
{
    const std::string platform = environment("QT_QPA_PLATFORM");
    const std::string display = environment("DISPLAY");
    // A platform the user chose is left to Qt, unless it is X.
    if (!platform.empty() && platform.rfind("xcb", 0) != 0) return true;
    if (display.empty()) {
        if (platform.empty() && !environment("WAYLAND_DISPLAY").empty()) return true;
        error = std::string("no display: DISPLAY is not set; ") + kHowToGetOne;
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const int failure = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (failure == 0) return true;
    error = "no X server answers at DISPLAY=" + display + "; " + kHowToGetOne;
    return false;
}

void startQtQuietly(void (*make)(void*), void* context)
{
    lastMessage.clear();
    const QtMessageHandler previous = qInstallMessageHandler(holdBack);
    make(context);
    qInstallMessageHandler(previous);
    // What Qt said on the way up, now that it is up, is no news.
    lastMessage.clear();
}

} // namespace veskar
