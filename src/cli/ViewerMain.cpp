// veskar: the viewer, in a window or headless.

#include "app/Application.h"
#include "app/MenuCommands.h"
#include "import/ConsoleLog.h"
#include "system/Console.h"
#include "system/FileIdentity.h"
#include "host/HeadlessHost.h"
#include "system/HeapReuse.h"
#include "system/ProgramEntry.h"
#include "base/PrintableName.h"
#include "system/Shell.h"
#include "host/WindowHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace veskar;

const char* const kUsage =
    "usage: veskar [OPTIONS]\n"
    "Shows SMD models and converted mRef/mAni characters in a window.\n"
    "\n"
    "Menu commands, applied in the order given, each as if chosen from the menu with that file:\n"
    "  --open-smd-ref FILE      Open > SMD > Ref\n"
    "  --open-smd-ani FILE      Open > SMD > Ani\n"
    "  --open-kovr1-mref FILE   Open > Kovr1 > mRef   (primary character)\n"
    "  --open-kovr1-mani FILE   Open > Kovr1 > mAni\n"
    "  --open-kovr2-mref FILE   Open > Kovr2 > mRef   (secondary character)\n"
    "  --open-kovr2-mani FILE   Open > Kovr2 > mAni\n"
    "  --open-weapon-mref FILE  Open > Weapon_Kovr > mRef (carried in the primary's left hand)\n"
    "  --open-gltf FILE         Open > glTF           (a .glb or .gltf character with its animations)\n"
    "  --convert-ref FILE       Convert > Ref\n"
    "  --convert-ani FILE       Convert > Ani\n"
    "\n"
    "Without a window:\n"
    "  --headless               render off screen (no display needed)\n"
    "  --frames N               frames to render headless (default 1)\n"
    "  --screenshot OUT.png     write the last frame as PNG (headless)\n"
    "\n"
    "In the window:\n"
    "  --screenshot-dir DIR     where F12 writes veskar-YYYYMMDD-HHMMSS.png (default: the current folder)\n"
    "\n"
    "Keys: W/A/S/D move, R/F up/down, Q/E roll, right mouse button turns, left mouse button orbits,\n"
    "wheel moves in and out, numeric keypad moves the light, Space wireframe/solid,\n"
    "1/2 normal/quarter animation speed, P pause, ,/. key back/forward while paused, I in place,\n"
    "B skeleton, Home frame the models, Backspace start camera, F1 overlay, F5 reload, F12 screenshot,\n"
    "Esc quits.\n"
    "The effect file Shaders/Phong.fx is read from the working directory, else from beside this program,\n"
    "else from the data folder it was installed with (share/veskar beside its bin folder).\n";

struct Options {
    bool headless = false;
    int frames = 1;
    std::string screenshot;
    std::string screenshotDir;
    std::vector<std::pair<std::uint32_t, std::string>> commands;
};

// 0 ok, 1 help shown, 2 usage error.
int parse(int argc, char** argv, Options& options)
{
    const std::pair<const char*, std::uint32_t> table[] = {
        {"--open-smd-ref", command::kOpenSmdRef},       {"--open-smd-ani", command::kOpenSmdAni},
        {"--open-kovr1-mref", command::kOpenKovr1Ref},  {"--open-kovr1-mani", command::kOpenKovr1Ani},
        {"--open-kovr2-mref", command::kOpenKovr2Ref},  {"--open-kovr2-mani", command::kOpenKovr2Ani},
        {"--open-weapon-mref", command::kOpenWeaponRef}, {"--convert-ref", command::kConvertRef},
        {"--convert-ani", command::kConvertAni},        {"--open-gltf", command::kOpenGltf},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 1;
        }
        if (arg == "--headless") {
            options.headless = true;
            continue;
        }
        std::string v;
        if (arg == "--frames") {
            char* end = nullptr;
            if (!value(v) || (options.frames = static_cast<int>(std::strtol(v.c_str(), &end, 10))) < 1 || *end) {
                std::fprintf(stderr, "veskar: --frames needs a number of frames, at least 1\n");
                return 2;
            }
            continue;
        }
        if (arg == "--screenshot-dir") {
            if (!value(options.screenshotDir)) {
                std::fprintf(stderr, "veskar: --screenshot-dir needs a folder\n");
                return 2;
            }
            continue;
        }
        if (arg == "--screenshot") {
            if (!value(options.screenshot)) {
                std::fprintf(stderr, "veskar: --screenshot needs a file name\n");
                return 2;
            }
            continue;
        }
        bool known = false;
        for (const auto& [name, id] : table) {
            if (arg != name) continue;
            known = true;
            if (!value(v)) {
                std::fprintf(stderr, "veskar: %s needs a file\n", name);
                return 2;
            }
            options.commands.emplace_back(id, v);
        }
        if (!known) {
            std::fprintf(stderr, "veskar: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (!options.screenshot.empty() && !options.headless) {
        std::fprintf(stderr, "veskar: --screenshot goes with --headless\n");
        return 2;
    }
    return 0;
}


} // namespace

int veskar::programMain(int argc, char** argv)
{
    Options options;
    if (const int r = parse(argc, argv, options)) return r == 1 ? 0 : 2;

    keepFreedMemoryForReuse();
    StdoutConsole console;
    ConsoleLog::startUp(&console);
    Application& application = Application::instance();
    for (const auto& [id, path] : options.commands) application.addStartupCommand(id, path);
    application.screenshotFolder = options.screenshotDir;
    int code = 0;
    if (options.headless) {
        HeadlessHost host;
        setShell(&host.messageShell());
        // A picture must not replace a file the run reads or writes (a model,
        // an animation, a texture, a converted output): the files are
        // remembered as they are opened, and the path is checked once the
        // commands are done, before the first frame is drawn.
        bool refused = false;
        if (!options.screenshot.empty()) {
            recordFileUse();
            host.setBeforeFirstFrame([&] {
                if (!wasFileUsed(options.screenshot)) return 0;
                std::fprintf(stderr, "veskar: --screenshot %s: this run reads or writes that file; the picture would replace it\n",
                             printableName(options.screenshot).c_str());
                refused = true;
                return 1;
            });
        }
        code = application.run(host, options.frames);
        if (code == 0 && !refused && !options.screenshot.empty()) {
            std::string error;
            if (host.writeScreenshot(options.screenshot, error)) {
                writeStandardOutput("wrote " + printableName(options.screenshot) + "\n");
            } else {
                std::fprintf(stderr, "veskar: cannot write %s: %s\n", printableName(options.screenshot).c_str(), error.c_str());
                code = 1;
            }
        }
        // Without a window to show boxes in, every failed command fails the run.
        if (code == 0 && application.failedCommandLineCommands > 0) code = 1;
        application.shutdown();
        host.destroy();
    } else {
        const std::unique_ptr<Host> host = makeWindowHost();
        const std::unique_ptr<Settings> settings = makeWindowSettings();
        application.settings = settings.get();
        code = application.run(*host, 0);
        application.shutdown();
        application.settings = nullptr;
        host->destroy();
    }
    setShell(nullptr);
    ConsoleLog::shutDown();
    std::string reason;
    if (!standardOutputIntact(reason)) {
        std::fprintf(stderr, "veskar: cannot write standard output: %s\n", reason.c_str());
        if (code == 0) code = 1;
    }
    return code;
}
