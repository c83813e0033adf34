#pragma once
// The one object of the viewer: the window (through its host), the graphics
// context, the frame resources, the scene, the SMD model and the converter.

#include "app/AxisGrid.h"
#include "app/FrameTimer.h"
#include "app/PlaybackClock.h"
#include "app/RecentFiles.h"
#include "app/RootMarkers.h"
#include "app/Scene.h"
#include "import/Diagnostic.h"
#include "host/Host.h"
#include "render/GraphicsContext.h"
#include "render/ModelBounds.h"
#include "render/SkeletonLines.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace veskar {

class Effect;
class FormatConverter;
class Settings;
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
    // lParam carries the key message's bits (kKeyPreviouslyDown on an
    // auto-repeat).
    int onKeyDown(std::uint32_t virtualKey, std::intptr_t lParam = 0);
    void onKeyUp(std::uint32_t virtualKey);
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
    // The camera framed on every model drawn (View > Frame model); the box
    // of what is drawn over the animations that play, in world space (see
    // sceneBounds).
    void frameModels();
    Bounds shownBounds() const;
    // The start camera (View > Reset camera).
    void resetView();
    // Whole keys back or forward on every animation that plays (',' '.').
    void stepAnimations(int keys);
    // Every file opened since the start or the last File > Clean, again, in
    // the order they were opened and with the same commands (F5).
    void reloadFiles();
    const std::vector<OpenedFile>& openedFiles() const { return opened_; }
    const RecentFiles& recentFiles() const { return recent_; }
    // The lines after the seven: one a playing model.
    std::vector<std::string> playbackLines() const;
    Result createFrameResources();
    void releaseFrameResources();
    void drawSmdModel();
    void drawRootMarkers();
    void drawSkeletons();
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
    FormatConverter* converter = nullptr;
    FrameTimer frameTimer;
    int framesRendered = 0;
    // Menu commands given on the command line that failed; each was reported
    // on standard error with its file.
    int failedCommandLineCommands = 0;

    // Playback by the host's clock: the seconds the last frame stood for and
    // the keys every playing animation advanced in it.
    PlaybackClock playbackClock;
    double frameSeconds = 0.0;
    float frameKeys = 0.0f;
    bool paused = false;          // P
    bool overlayShown = true;     // F1
    bool inPlace = false;         // I, View > In place
    bool skeletonShown = false;   // B
    // Left-button orbit and the wheel turn and move around this point: the
    // centre of what was framed last, the origin at the start.
    bool orbiting = false;
    Vector3 orbitCentre;
    // F12 writes here; the current folder when empty.
    std::string screenshotFolder;
    // Recent files and the Open dialog's folder live here between runs; none
    // kept without it. Set before run.
    Settings* settings = nullptr;

private:
    bool chooseFile(const FileFilter& filter, std::string& path);
    void loadCharacter(EngineModel*& slot, std::int32_t& mode, const std::string& path);
    bool loadCharacterAnimation(EngineModel* slot, std::int32_t& mode, const std::string& path);
    // True when the command started an animation on its slot.
    bool runFileCommand(std::uint32_t id);
    void frameAgainForAnimation(std::uint32_t id);
    // A glTF character with its animations, in place of the SMD model.
    void openGltf(const std::string& path);
    void rememberFile(std::uint32_t id, const std::string& path);
    void openRecent(std::size_t index);
    void showRecentFiles();
    void setInPlace(bool on);
    void mouseLook(std::intptr_t lParam);
    void orbit(std::intptr_t lParam);
    void moveHeldKeys(double now, double previous);
    void saveScreenshot();
    void releaseDeviceObjects();
    void commandFailed(const Diagnostic& why);
    bool effectMissing(const Effect* effect) const { return graphics.device && !effect; }

    // The keys that move the camera while held: W S D A R F Q E.
    static constexpr std::size_t kMoveKeys = 8;

    struct ScriptedPath {
        std::string path;
        bool fromCommandLine = false;
    };
    bool quit_ = false;
    bool replaying_ = false;
    bool screenshotWanted_ = false;
    std::deque<ScriptedPath> scriptedPaths_;
    bool fromCommandLine_ = false;  // the file of the command being carried out was given on the command line
    std::vector<std::pair<std::uint32_t, std::string>> startupCommands_;
    EngineModel* lastCharacter_ = nullptr;
    // The model slots (SMD, Kovr1, Kovr2: bits 1, 2, 4) a model opened into
    // an empty view was framed with, until their first animation; and the
    // camera that framing left. That animation frames again while the camera
    // is still there.
    std::uint32_t awaitingAnimation_ = 0;
    ViewCamera framedCamera_;
    std::vector<OpenedFile> opened_;
    RecentFiles recent_;
    // Clock time each movement key went down; negative while it is up.
    std::array<double, kMoveKeys> heldSince_{-1, -1, -1, -1, -1, -1, -1, -1};
    // File names of the animations that play, for the overlay.
    std::string smdAnimationName_;
    std::string primaryAnimationName_;
    std::string secondaryAnimationName_;
    std::vector<LineVertex> skeletonLines_;
};

} // namespace veskar
