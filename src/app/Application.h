#pragma once
// The one object of the viewer: the window (through its host), the graphics
// context, the frame resources, the scene, the SMD model and the converter.

#include "app/AxisGrid.h"
#include "app/FrameTimer.h"
#include "app/RootMarkers.h"
#include "app/Scene.h"
#include "import/Diagnostic.h"
#include "platform/Host.h"
#include "render/GraphicsContext.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace veskar {

class Effect;
class FormatConverter;
class SmdModel;

class Application {
public:
    static Application& instance();

    Application() = default;
    ~Application() { shutdown(); }
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up on the host, then the message loop; returns the exit code.
    // frameLimit > 0 stops after that many frames (headless screenshots).
    int run(Host& host, int frameLimit = 0);
    // The teardown; safe to call again.
    void shutdown();

    std::intptr_t handleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, const std::string& path = {});
    int onKeyDown(std::uint32_t virtualKey);
    int onCommand(std::uint32_t id);
    int onResize(int width, int height);
    // Opens a dropped file by its kind (see the definition).
    void onDrop(const std::string& path);
    // The next Open dialog answers with this file instead of asking (files
    // dropped on the window).
    void answerNextDialog(std::string path) { scriptedPaths_.push_back({std::move(path), false}); }
    // A menu command to carry out with that file once the window is up, as if
    // chosen from the menu (commands given on the command line), in order.
    void addStartupCommand(std::uint32_t id, std::string path) { startupCommands_.emplace_back(id, std::move(path)); }

    void renderFrame();
    void updateFrameTimer();
    Result createFrameResources();
    void releaseFrameResources();
    void drawSmdModel();
    void drawRootMarkers();
    void drawHud();

    Host* host = nullptr;
    std::int32_t exitCode = 0;
    std::uint32_t smdFillMode = 3;
    bool dragging = false;
    std::int32_t anchorX = 0, anchorY = 0;
    std::int32_t clientWidth = 800, clientHeight = 600;
    bool active = true;
    float fps = 0.0f;
    GraphicsContext graphics;
    RootMarkers markers;
    AxisGrid* grid = nullptr;
    float speedFactor = 2.0f;
    SmdModel* smdModel = nullptr;
    Scene* scene = nullptr;
    std::int32_t smdMode = 0;
    bool smdTextured = true;
    float smdKeyStep = 0.5f;
    FormatConverter* converter = nullptr;
    FrameTimer frameTimer;
    int framesRendered = 0;
    // Menu commands given on the command line that failed; each was reported
    // on standard error with its file.
    int failedCommandLineCommands = 0;

private:
    bool chooseFile(const FileFilter& filter, std::string& path);
    void loadCharacter(EngineModel*& slot, std::int32_t& mode, const std::string& path);
    void loadCharacterAnimation(EngineModel* slot, std::int32_t& mode, const std::string& path);
    void mouseLook(std::intptr_t lParam);
    void releaseDeviceObjects();
    void commandFailed(const Diagnostic& why);
    bool effectMissing(const Effect* effect) const { return graphics.device && !effect; }

    struct ScriptedPath {
        std::string path;
        bool fromCommandLine = false;
    };
    bool quit_ = false;
    std::deque<ScriptedPath> scriptedPaths_;
    bool fromCommandLine_ = false;  // the file of the command being carried out was given on the command line
    std::vector<std::pair<std::uint32_t, std::string>> startupCommands_;
    EngineModel* lastCharacter_ = nullptr;
};

} // namespace veskar
