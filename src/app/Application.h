#pragma once
// The one object of the viewer: the window (through its host), the graphics
// context, the frame resources, the scene, the SMD model and the converter.

#include "app/Animations.h"
#include "app/AxisGrid.h"
#include "app/FrameTimer.h"
#include "app/PlaybackClock.h"
#include "app/RecentFiles.h"
#include "app/RootMarkers.h"
#include "app/ViewOptions.h"
#include "app/Scene.h"
#include "import/Diagnostic.h"
#include "host/Host.h"
#include "render/GraphicsContext.h"
#include "render/CameraMoves.h"
#include "render/ModelBounds.h"
#include "render/SkeletonLines.h"
#include "render/SurfaceOverlays.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
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

    Application();
    ~Application();
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
    // What is drawn (--show), set before run.
    void showLayers(const ShownLayers& layers);
    // Applied once the start-up commands are done (see StartupView); set
    // before run.
    StartupView startupView;
    void applyStartupView();

    void renderFrame();
    void updateFrameTimer();
    // The camera framed on every model drawn (View > Frame model); the box
    // of what is drawn over the animations that play, in world space (see
    // sceneBounds), from one side (View > Front, keypad 1 ...).
    void frameModels(ViewSide side = ViewSide::Front);
    // Orthographic projection on or off (keypad 5), the picture at the orbit
    // centre keeping its size.
    void setOrthographic(bool on);
    Bounds shownBounds() const;
    // The start camera (View > Reset camera).
    void resetView();
    // Whole keys back or forward on every animation that plays (',' '.').
    void stepAnimations(int keys);
    // Pauses and stands every animation that plays on key (counted from 0),
    // or on its last key when it has fewer.
    void standOnKey(int key);
    // Playback speed as a multiple of normal (30 keys a second), kept within
    // 0.1 to 4.
    void setPlaybackSpeed(float speed);
    float playbackSpeed() const { return speedFactor / 2.0f; }

    // The animation a model plays now: its pick, when the model is shown
    // playing one with frames; null otherwise.
    const SkeletonAnimation* playedAnimation(Animated which) const;
    SkeletonAnimation* playedAnimation(Animated which);
    // The index of the model's pick (-1 without the model), and the file
    // names of its animations in the order they were opened.
    int pickedAnimation(Animated which) const;
    const std::vector<std::string>& animationNames(Animated which) const { return animationNames_[indexOf(which)]; }
    // Makes the model play its animation of that index and shows it playing;
    // false for an index it does not have.
    bool pickAnimation(Animated which, int index);
    // The model whose animation the timeline follows: the primary
    // character's, without one the SMD model's, else the secondary's.
    std::optional<Animated> timelineModel() const;
    // The model whose animations the timeline's list names: the timeline's,
    // or when nothing plays the first (in the same order) with any.
    std::optional<Animated> listedModel() const;
    // Sends the timeline strip what it shows, when that changed.
    void updateTimeline();
    const TimelineState& timeline() const { return timeline_; }
    // A control of the strip was used (see TimelineStrip.h).
    void onStripControl(std::uint32_t id, std::uint32_t notification, std::intptr_t value);
    // Paints every model's weights of the bone of that name (any case);
    // empty stops painting.
    void setWeightBone(const std::string& name);
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
    void drawModelOverlays();
    void drawBoneNames();
    void drawHud();
    // Whether the model's surface shows weightBone's weights this frame.
    bool paintsWeights(Animated which) const;

    Host* host = nullptr;
    std::int32_t exitCode = 0;
    std::uint32_t smdFillMode = 3;
    bool dragging = false;
    std::int32_t anchorX = 0, anchorY = 0;
    std::int32_t clientWidth = 800, clientHeight = 600;
    // What a frame is cleared to; alpha 0 leaves a picture transparent there.
    std::uint32_t clearColour = 0xFF004040;
    bool active = true;
    float fps = 0.0f;
    GraphicsContext graphics;
    RootMarkers markers;
    std::unique_ptr<AxisGrid> grid;
    float speedFactor = 2.0f;
    std::unique_ptr<SmdModel> smdModel;
    std::unique_ptr<Scene> scene;
    std::int32_t smdMode = 0;
    bool smdTextured = true;
    std::unique_ptr<FormatConverter> converter;
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
    bool gridShown = true;        // G
    bool namesShown = false;      // N: bone names at the joints
    bool normalsShown = false;    // V
    bool wireShown = false;       // X: wireframe over solid
    // H: every vertex coloured by its weight of weightBone, from blue (0) to
    // red (1), on the models that have a bone of that name.
    bool weightsShown = false;
    std::string weightBone;
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
    // run's steps: the window, its graphics, what every frame draws, the
    // window shown with its menus, and the messages until the end.
    bool openWindow(Host& h);
    bool startGraphics(Host& h);
    bool makeGridAndScene(Host& h);
    void showWindow(Host& h);
    int messageLoop(Host& h, int frameLimit);
    bool chooseFile(const FileFilter& filter, std::string& path);
    EngineModel* characterOf(Animated which) const;
    void animationOpened(Animated which, const std::string& path);
    void forgetAnimations(Animated which);
    void showAnimationMenu();
    void showLayerChecks();
    float orthographicHeight() const;
    void followOrthographic();
    std::span<const SkeletonNode> boneListNodes() const;
    std::span<const SkeletonNode> nodesOf(Animated which) const;
    void toggleWeights();
    void gatherSurfaces(Animated which);
    void measureNormals(const Bounds& bounds);
    void rebuildTimelineLists(TimelineState& state) const;
    void loadCharacter(std::unique_ptr<EngineModel>& slot, std::int32_t& mode, const std::string& path);
    bool loadCharacterAnimation(EngineModel* slot, std::int32_t& mode, const std::string& path);
    // True when the command started an animation on its slot.
    bool runFileCommand(std::uint32_t id);
    // runFileCommand's commands, each with the file chosen for it.
    void openSmdReference(const std::string& path);
    bool openSmdAnimation(const std::string& path);
    void openCharacter(std::uint32_t id, const std::string& path);
    bool openCharacterAnimation(std::uint32_t id, const std::string& path);
    void openWeapon(const std::string& path);
    void convertFile(std::uint32_t id, const std::string& path);
    void frameAgainForAnimation(std::uint32_t id);
    // A glTF character with its animations, in place of the SMD model.
    void openGltf(const std::string& path);
    void rememberFile(std::uint32_t id, const std::string& path);
    void openRecent(std::size_t index);
    void showRecentFiles();
    void setInPlace(bool on);
    void mouseLook(std::intptr_t lParam);
    void onKeypad(std::uint32_t key, Vector3& light);
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
    // A command-line option that could not do what it says: reported on
    // standard error and counted with the failed commands.
    void optionFailed(const std::string& what);
    bool quit_ = false;
    bool ctrlDown_ = false;   // the keypad moves the light while Ctrl is held
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
    // File names of each model's animations, in their slots' order.
    std::array<std::vector<std::string>, kAnimatedModels> animationNames_;
    // The lists the timeline shows (animations, bones) need sending again.
    bool timelineListsChanged_ = true;
    TimelineState timeline_;   // as last sent to the host
    std::string weightBoneBefore_;   // the bone H paints again
    // What the overlays are built in each frame, kept for the next.
    std::vector<DrawnSurface> surfaces_;
    std::vector<float> weights_;
    std::vector<HeatVertex> heatCorners_;
    Texture* heatRamp_ = nullptr;   // made when weights are first painted
    std::vector<LineVertex> overlayLines_;
    std::vector<Joint> joints_;
    std::unique_ptr<TextDrawer> nameFont_;   // made when names are first shown
    float normalLength_ = 2.0f;
    std::vector<LineVertex> skeletonLines_;
};

} // namespace veskar
