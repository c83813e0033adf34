// veskar: the viewer, in a window or headless.

#include "app/Application.h"
#include "app/MenuCommands.h"
#include "app/ViewOptions.h"
#include "import/ConsoleLog.h"
#include "system/Console.h"
#include "system/FileIdentity.h"
#include "host/HeadlessHost.h"
#include "system/HeapReuse.h"
#include "system/ProgramEntry.h"
#include "base/PrintableName.h"
#include "system/Shell.h"
#include "host/WindowHost.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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
    "  --open-smd-ani FILE      Open > SMD > Ani (each animation opened is kept, up to 32)\n"
    "  --open-kovr1-mref FILE   Open > Kovr1 > mRef   (primary character)\n"
    "  --open-kovr1-mani FILE   Open > Kovr1 > mAni (each animation opened is kept, up to 32)\n"
    "  --open-kovr2-mref FILE   Open > Kovr2 > mRef   (secondary character)\n"
    "  --open-kovr2-mani FILE   Open > Kovr2 > mAni\n"
    "  --open-weapon-mref FILE  Open > Weapon_Kovr > mRef (carried in the primary's left hand)\n"
    "  --open-gltf FILE         Open > glTF           (a .glb or .gltf character with its animations)\n"
    "  --convert-ref FILE       Convert > Ref\n"
    "  --convert-ani FILE       Convert > Ani\n"
    "\n"
    "Once those are done:\n"
    "  --play N                 every model with N animations plays its Nth (from 1; default: the one opened last)\n"
    "  --key K                  every animation paused on key K (from 0; its last key when it has fewer)\n"
    "  --weights BONE           colours every vertex by its weight of BONE (any case), blue 0 to red 1\n"
    "  --view SIDE              the camera on that side of what is framed: front, back, left, right, top, bottom\n"
    "  --ortho                  orthographic projection\n"
    "\n"
    "The picture:\n"
    "  --show LIST              exactly what is drawn besides the models, from grid, overlay, skeleton, names,\n"
    "                           normals, wireframe (comma-separated), or none; default grid,overlay, so a list\n"
    "                           without grid hides the grid\n"
    "  --background COLOUR      #RRGGBB, or transparent (a headless PNG has alpha 0 where nothing is drawn)\n"
    "  --size WxH               the picture's size in pixels (default 800x600; up to 8192 a side)\n"
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
    "wheel moves in and out, Space wireframe/solid, 1/2 normal/quarter animation speed, P pause,\n"
    ",/. key back/forward while paused, I in place, B skeleton, N bone names, V normals,\n"
    "H weights of a bone, X wireframe over solid, G grid, keypad 1/3/7 front/right/top view,\n"
    "keypad 5 orthographic, Ctrl+keypad moves the light, Home frame the models, Backspace start camera,\n"
    "F1 overlay, F5 reload, F12 screenshot, Esc quits. Under the picture: play/pause, the keys\n"
    "(Home/End on the slider: first/last key), the animations, the speed and the bone to paint.\n"
    "The effect file Shaders/Phong.fx is read from the working directory, else from beside this program,\n"
    "else from the data folder it was installed with (share/veskar beside its bin folder).\n";

struct Options {
    bool headless = false;
    int frames = 1;
    std::string screenshot;
    std::string screenshotDir;
    std::vector<std::pair<std::uint32_t, std::string>> commands;
    ShownLayers layers;
    StartupView view;
    std::uint32_t background = 0xFF004040;
    int width = 800;
    int height = 600;
};

// An option with a value: how to read it, and what to say when it cannot.
struct ValueOption {
    const char* name;
    const char* needs;
    std::function<bool(const std::string&)> read;
};

std::vector<ValueOption> valueOptions(Options& o)
{
    return {
        {"--frames", "a number of frames, at least 1", [&o](const std::string& v) { return parseCount(v, 1, INT32_MAX, o.frames); }},
        {"--screenshot", "a file name", [&o](const std::string& v) { return o.screenshot = v, !v.empty(); }},
        {"--screenshot-dir", "a folder", [&o](const std::string& v) { return o.screenshotDir = v, true; }},
        {"--play", "an animation's number, from 1", [&o](const std::string& v) { return parseCount(v, 1, 32, o.view.play); }},
        {"--key", "a key's number, from 0", [&o](const std::string& v) { return parseCount(v, 0, INT32_MAX, o.view.key); }},
        {"--weights", "a bone's name", [&o](const std::string& v) { return o.view.weights = v, !v.empty(); }},
        {"--view", "front, back, left, right, top or bottom",
         [&o](const std::string& v) { return parseViewSide(v, o.view.side.emplace()); }},
        {"--show", "a list from grid, overlay, skeleton, names, normals, wireframe, or none",
         [&o](const std::string& v) {
             std::string unknown;
             return parseShownLayers(v, o.layers, unknown);
         }},
        {"--background", "#RRGGBB or transparent", [&o](const std::string& v) { return parseBackground(v, o.background); }},
        {"--size", "WxH, each from 1 to 8192", [&o](const std::string& v) { return parsePictureSize(v, o.width, o.height); }},
    };
}

bool fileCommand(const std::string& arg, std::uint32_t& id)
{
    const std::pair<const char*, std::uint32_t> table[] = {
        {"--open-smd-ref", command::kOpenSmdRef},       {"--open-smd-ani", command::kOpenSmdAni},
        {"--open-kovr1-mref", command::kOpenKovr1Ref},  {"--open-kovr1-mani", command::kOpenKovr1Ani},
        {"--open-kovr2-mref", command::kOpenKovr2Ref},  {"--open-kovr2-mani", command::kOpenKovr2Ani},
        {"--open-weapon-mref", command::kOpenWeaponRef}, {"--convert-ref", command::kConvertRef},
        {"--convert-ani", command::kConvertAni},        {"--open-gltf", command::kOpenGltf},
    };
    for (const auto& [name, command] : table) {
        if (arg != name) continue;
        id = command;
        return true;
    }
    return false;
}

// 0 ok, 1 help shown, 2 usage error.
int parse(int argc, char** argv, Options& options)
{
    const std::vector<ValueOption> values = valueOptions(options);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 1;
        }
        if (arg == "--headless" || arg == "--ortho") {
            (arg == "--headless" ? options.headless : options.view.orthographic) = true;
            continue;
        }
        std::uint32_t id = 0;
        if (fileCommand(arg, id)) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "veskar: %s needs a file\n", arg.c_str());
                return 2;
            }
            options.commands.emplace_back(id, argv[++i]);
            continue;
        }
        const auto option = std::find_if(values.begin(), values.end(), [&](const ValueOption& o) { return arg == o.name; });
        if (option == values.end()) {
            std::fprintf(stderr, "veskar: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (i + 1 >= argc || !option->read(argv[i + 1])) {
            std::fprintf(stderr, "veskar: %s needs %s%s%s\n", option->name, option->needs, i + 1 < argc ? ", not " : "",
                         i + 1 < argc ? printableName(argv[i + 1]).c_str() : "");
            return 2;
        }
        ++i;
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
    application.showLayers(options.layers);
    application.startupView = options.view;
    application.clearColour = options.background;
    application.clientWidth = options.width;
    application.clientHeight = options.height;
    // A transparent background is kept in the picture written headless.
    const bool keepAlpha = (options.background >> 24) != 0xFF;
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
            if (host.writeScreenshot(options.screenshot, error, keepAlpha)) {
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
