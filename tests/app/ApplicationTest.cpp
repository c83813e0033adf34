#include "FakeHost.h"
#include "TestSupport.h"

#include "app/Application.h"
#include "gltf/GltfExport.h"
#include "app/FrameTimer.h"
#include "app/MenuCommands.h"
#include "app/Overlay.h"
#include "app/RootMarkers.h"
#include "render/EngineModel.h"
#include "convert/FormatConverter.h"
#include "app/Screenshot.h"
#include "host/Settings.h"
#include "render/SkeletonLines.h"
#include "render/SmdModel.h"
#include "render/EngineModelDrawing.h"
#include "render/SurfaceOverlays.h"
#include "app/ViewOptions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include <stb/stb_image.h>

namespace veskar {
namespace {

using test::FakeHost;

// A two-bone character: "Bip01" at the origin and "Bip01 L Hand" 10 up.
const char* const kCharacterSmd =
    "version 1\nnodes\n0 \"Bip01\" -1\n1 \"Bip01 L Hand\" 0\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\n1 0 0 10 0 0 0\nend\n"
    "triangles\nskin.png\n0 0 0 0 0 0 1 0 0 1 0 1\n1 1 0 10 0 0 1 1 0 1 1 1\n0 0 1 0 0 0 1 0 1 1 0 1\n"
    "skin.png\n0 0 0 0 0 0 1 0 0 1 0 1\n1 1 0 10 0 0 1 1 0 1 1 1\n0 0 2 0 0 0 1 0 1 1 0 1\nend\n";

std::string walk(float rootX, float rootY, float rootZ, int frames = 4)
{
    std::string s = "version 1\nnodes\n0 \"Bip01\" -1\n1 \"Bip01 L Hand\" 0\nend\nskeleton\n";
    for (int f = 0; f < frames; ++f)
        s += "time " + std::to_string(f) + "\n0 " + std::to_string(rootX) + " " + std::to_string(rootY) + " " + std::to_string(rootZ) +
             " 0 0 0\n1 0 0 10 0 0 0\n";
    return s + "end\n";
}

// Converted sample files in a temporary folder.
struct Files {
    test::TempDir dir;
    std::string characterRef, walkA, walkB, walkLong;
    Files()
    {
        test::writeText(dir.file("hero.smd"), kCharacterSmd);
        test::writeText(dir.file("walka.smd"), walk(0, 0, 0));
        test::writeText(dir.file("walkb.smd"), walk(3, 5, 7));
        test::writeText(dir.file("long.smd"), walk(0, 0, 0, 64));
        FormatConverter converter;
        EXPECT_TRUE(converter.convertReference(dir.file("hero.smd")));
        EXPECT_TRUE(converter.convertAnimation(dir.file("walka.smd")));
        EXPECT_TRUE(converter.convertAnimation(dir.file("walkb.smd")));
        EXPECT_TRUE(converter.convertAnimation(dir.file("long.smd")));
        characterRef = dir.file("hero.mRef");
        walkA = dir.file("walka.mAni");
        walkB = dir.file("walkb.mAni");
        walkLong = dir.file("long.mAni");
    }
};

// Runs the application on a fake host for a few frames.
struct Running {
    FakeHost host;
    Application app;
    test::Capture capture;
    explicit Running(int frames = 1, Settings* settings = nullptr, double frameSeconds = 1.0 / 60.0)
    {
        app.settings = settings;
        host.frameSeconds = frameSeconds;
        start(frames);
    }
    void start(int frames) { app.run(host, frames); }
    void key(std::uint32_t vk, std::intptr_t lParam = 0) { app.handleMessage(WM_KEYDOWN, vk, lParam); }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i) app.renderFrame();
    }
    void command(std::uint32_t id, const std::string& file = {})
    {
        if (!file.empty()) host.answers.push_back(file);
        app.onCommand(id);
    }
    ~Running()
    {
        app.shutdown();
        host.destroy();
    }
};

// The converted character open as the first model of a running viewer, where
// most tests of what is drawn and framed begin.
struct CharacterOpen {
    Files files;
    Running r;
    Application& app = r.app;
    CharacterOpen() { r.command(command::kOpenKovr1Ref, files.characterRef); }
};

TEST(Application, StartsWithTheWindowMenuAndOverlayAndClearsToTheBackground)
{
    Running r(2);
    EXPECT_EQ(r.host.options.title, "[Tavimor] Veskar");
    EXPECT_EQ(r.host.options.clientWidth, 800);
    EXPECT_EQ(r.host.options.clientHeight, 600);
    ASSERT_EQ(r.host.options.menu.size(), 154u);
    EXPECT_EQ(r.host.options.menu[11].caption, "E&xit");
    EXPECT_EQ(r.host.options.menu[11].command, 40002u);
    EXPECT_EQ(r.host.options.menu[24].caption, "&glTF");
    EXPECT_EQ(r.host.options.menu[24].command, command::kOpenGltf);
    EXPECT_EQ(r.host.options.menu[28].caption, "&View");
    EXPECT_EQ(r.host.options.menu[29].caption, "&Frame model\tHome");
    EXPECT_EQ(r.host.captions[command::kRecentFirst], "(no files yet)");
    EXPECT_EQ(r.host.captions[command::kRecentFirst + 1], "");
    EXPECT_FALSE(r.host.checks[command::kInPlace]);
    EXPECT_EQ(r.host.memory().lastClearColour, 0xFF004040u);
    EXPECT_EQ(r.host.presents, 2);
    EXPECT_GE(r.host.memory().textDraws, 7);
    // The axes and grid: 86 lines from memory.
    bool grid = false;
    for (const RecordedDraw& d : r.host.memory().draws) grid |= d.userPointer && d.type == PrimitiveType::LineList && d.primitiveCount == 86;
    EXPECT_TRUE(grid);
    EXPECT_FLOAT_EQ(r.app.graphics.textColour[1], 1.0f);
    EXPECT_FLOAT_EQ(r.app.graphics.textColour[0], 0.0f);
}

TEST(Application, KeysMoveTheCameraAndLightAndSpaceTogglesTheScenesFill)
{
    Running r;
    const Vector3 start = r.app.graphics.camera.position;
    r.app.handleMessage(WM_KEYDOWN, 'W', 0);
    EXPECT_NEAR(r.app.graphics.camera.position.z, start.z + 10.0f, 1e-4f);
    r.app.handleMessage(WM_KEYDOWN, 'A', 0);
    EXPECT_NEAR(r.app.graphics.camera.position.x, start.x - 10.0f, 1e-4f);
    r.app.handleMessage(WM_KEYDOWN, 'R', 0);
    EXPECT_NEAR(r.app.graphics.camera.position.y, start.y + 10.0f, 1e-4f);
    // The keypad moves the light with Ctrl held, and only then.
    const Vector3 light = r.app.graphics.light.position;
    r.app.handleMessage(WM_KEYDOWN, VK_CONTROL, 0);
    r.app.handleMessage(WM_KEYDOWN, VK_NUMPAD8, 0);
    r.app.handleMessage(WM_KEYDOWN, VK_NUMPAD4, 0);
    r.app.handleMessage(WM_KEYDOWN, VK_NUMPAD9, 0);
    r.app.handleMessage(WM_KEYUP, VK_CONTROL, kKeyPreviouslyDown | kKeyTransitionUp);
    r.app.handleMessage(WM_KEYDOWN, VK_NUMPAD8, 0);
    EXPECT_FLOAT_EQ(r.app.graphics.light.position.y, light.y + 100.0f);
    EXPECT_FLOAT_EQ(r.app.graphics.light.position.x, light.x - 100.0f);
    EXPECT_FLOAT_EQ(r.app.graphics.light.position.z, light.z + 100.0f);
    EXPECT_EQ(r.app.scene->fillMode, kFillSolid);
    r.app.handleMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(r.app.scene->fillMode, kFillWireframe);
    EXPECT_EQ(r.host.memory().renderState(RenderState::FillMode), kFillWireframe);
    r.app.handleMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(r.app.scene->fillMode, kFillSolid);
    r.app.handleMessage(WM_KEYDOWN, '2', 0);
    EXPECT_FLOAT_EQ(r.app.speedFactor, 0.5f);
    r.app.handleMessage(WM_KEYDOWN, '1', 0);
    EXPECT_FLOAT_EQ(r.app.speedFactor, 2.0f);
    // A key the table does not know changes nothing.
    const Vector3 before = r.app.graphics.camera.position;
    r.app.handleMessage(WM_KEYDOWN, 'Z', 0);
    EXPECT_EQ(r.app.graphics.camera.position.x, before.x);
}

TEST(Application, MouseLookTurnsByTheDistanceSinceTheLastMove)
{
    Running r;
    const Vector3 look = r.app.graphics.camera.look;
    r.app.handleMessage(WM_RBUTTONDOWN, 0, makeLParam(100, 100));
    r.app.handleMessage(WM_RBUTTONUP, 0, makeLParam(100, 100));
    EXPECT_NEAR(r.app.graphics.camera.look.x, look.x, 1e-6f);  // press and release at one point: no turn
    r.app.handleMessage(WM_RBUTTONDOWN, 0, makeLParam(100, 100));
    r.app.handleMessage(WM_MOUSEMOVE, 0, makeLParam(200, 100));
    // 100 pixels x 0.005 = 0.5 rad about world Y: dragging right turns right.
    EXPECT_NEAR(r.app.graphics.camera.look.x, std::sin(0.5f), 1e-4f);
    EXPECT_EQ(r.app.anchorX, 200);
    r.app.handleMessage(WM_RBUTTONUP, 0, makeLParam(200, 100));
    EXPECT_FALSE(r.app.dragging);
    // Moves without the button only follow the anchor.
    r.app.handleMessage(WM_MOUSEMOVE, 0, makeLParam(500, 300));
    EXPECT_NEAR(r.app.graphics.camera.look.x, std::sin(0.5f), 1e-4f);
    EXPECT_EQ(r.app.anchorX, 500);
}

TEST(Application, EscapeExitAndClosingEndTheLoopWithCodeZero)
{
    for (const WindowMessage& m : {WindowMessage{WM_KEYDOWN, VK_ESCAPE, 0, {}}, WindowMessage{WM_COMMAND, command::kExit, 0, {}},
                                   WindowMessage{WM_CLOSE, 0, 0, {}}}) {
        FakeHost host;
        Application app;
        host.post(m);
        EXPECT_EQ(app.run(host, 0), 0);
        app.shutdown();
        host.destroy();
    }
}

TEST(Application, MenuCommandsFillTheSlotsAndSetTheModes)
{
    Files files;
    Running r;
    r.command(command::kOpenKovr1Ani, files.walkA);  // no primary yet: nothing
    EXPECT_EQ(r.app.scene->primary, nullptr);
    r.command(command::kOpenKovr1Ref, files.characterRef);
    ASSERT_NE(r.app.scene->primary, nullptr);
    EXPECT_EQ(r.app.scene->primaryMode, static_cast<int>(DrawMode::Still));
    r.command(command::kOpenKovr1Ani, files.walkA);
    EXPECT_EQ(r.app.scene->primaryMode, static_cast<int>(DrawMode::Play));
    // A failed animation load leaves the slot Still.
    r.command(command::kOpenKovr1Ani, files.dir.file("missing.mAni"));
    EXPECT_EQ(r.app.scene->primaryMode, static_cast<int>(DrawMode::Still));
    r.command(command::kOpenKovr2Ref, files.characterRef);
    r.command(command::kOpenKovr2Ani, files.walkB);
    EXPECT_EQ(r.app.scene->secondaryMode, static_cast<int>(DrawMode::Play));
    r.command(command::kOpenWeaponRef, files.characterRef);
    ASSERT_NE(r.app.scene->weapon, nullptr);
    // A cancelled dialog changes nothing.
    EngineModel* before = r.app.scene->primary.get();
    r.command(command::kOpenKovr1Ref);
    EXPECT_EQ(r.app.scene->primary.get(), before);
    EXPECT_EQ(r.host.filtersAsked.back(), "*.mRef");
    // Clean empties every slot and resets the fill mode.
    r.app.handleMessage(WM_KEYDOWN, VK_SPACE, 0);
    r.command(command::kClean);
    EXPECT_EQ(r.app.scene->primary, nullptr);
    EXPECT_EQ(r.app.scene->weapon, nullptr);
    EXPECT_EQ(r.app.scene->primaryMode, kNoMode);
    EXPECT_EQ(r.app.scene->fillMode, kFillSolid);
}

TEST(Application, SmdCommandsAndConversionFromTheMenu)
{
    Files files;
    Running r;
    r.command(command::kOpenSmdAni, files.dir.file("walka.smd"));  // no SMD model: nothing, no box
    EXPECT_EQ(r.app.smdModel, nullptr);
    const std::size_t boxesBefore = r.host.shell.boxes.size();
    r.command(command::kOpenSmdRef, files.dir.file("hero.smd"));
    ASSERT_NE(r.app.smdModel, nullptr);
    EXPECT_TRUE(r.app.smdModel->hasMesh);
    EXPECT_EQ(r.app.smdMode, 0);
    r.command(command::kOpenSmdAni, files.dir.file("walka.smd"));
    EXPECT_EQ(r.app.smdMode, 1);
    // Not an SMD file: the reader's box, and the program goes on.
    EXPECT_EQ(r.host.shell.boxes.size(), boxesBefore) << "the SMD commands themselves show nothing";
    test::writeText(files.dir.file("notes.smd"), "hello\n");
    r.command(command::kOpenSmdRef, files.dir.file("notes.smd"));
    ASSERT_FALSE(r.host.shell.boxes.empty());
    EXPECT_EQ(r.host.shell.boxes.back().caption, "Error");
    EXPECT_EQ(r.host.shell.boxes.back().text.substr(0, r.host.shell.boxes.back().text.find('\n')), "SMD 파일이 아닙니다!!");
    std::filesystem::remove(files.dir.file("hero.mRef"));
    r.command(command::kConvertRef, files.dir.file("hero.smd"));
    EXPECT_TRUE(std::filesystem::exists(files.dir.file("hero.mRef")));
    r.app.renderFrame();
    // A glTF character takes the SMD model's place with its animations
    // listed and the first playing, from the menu or dropped; a broken one
    // shows its box.
    ASSERT_TRUE(exportGltf({files.dir.file("hero.smd"), {files.dir.file("walka.smd"), files.dir.file("walkb.smd")}, files.dir.file("hero.glb"), {}})
                    .written);
    r.command(command::kOpenGltf, files.dir.file("hero.glb"));
    EXPECT_EQ(r.host.filtersAsked.back(), "*.glb;*.gltf");
    ASSERT_TRUE(r.app.smdModel && r.app.smdModel->hasMesh);
    EXPECT_EQ(r.app.smdModel->animationCount, 2);
    EXPECT_EQ(r.app.animationNames(Animated::Smd), (std::vector<std::string>{"walka", "walkb"}));
    EXPECT_EQ(r.app.pickedAnimation(Animated::Smd), 0);
    EXPECT_EQ(r.app.smdMode, 1);
    r.command(command::kOpenGltf, files.dir.file("notes.smd"));
    EXPECT_NE(r.host.shell.boxes.back().text.find("the JSON does not parse"), std::string::npos) << r.host.shell.boxes.back().text;
    r.app.onDrop(files.dir.file("hero.glb"));
    EXPECT_EQ(r.app.smdModel->animationCount, 2);
    EXPECT_EQ(r.app.animationNames(Animated::Smd).size(), 2u);
    r.app.renderFrame();
}

TEST(Scene, PrimaryIsMovedOntoTheSecondarysRootKeyInViewerSpace)
{
    CharacterOpen open;
    auto& [files, r, app] = open;
    r.command(command::kOpenKovr1Ani, files.walkA);
    r.app.renderFrame();
    EXPECT_FLOAT_EQ(r.app.scene->rootOffset[0], 0.0f);  // one character: no offset
    r.command(command::kOpenKovr2Ref, files.characterRef);
    r.command(command::kOpenKovr2Ani, files.walkB);
    r.app.renderFrame();
    // The primary's root key, carried by its world, lands on the secondary's
    // root key: the two characters are pushed together, not apart.
    r.app.scene->computePrimaryWorld();
    Matrix primaryRoot, secondaryRoot;
    float position[3];
    ASSERT_TRUE(currentRootKey(*r.app.scene->primary, primaryRoot, position));
    ASSERT_TRUE(currentRootKey(*r.app.scene->secondary, secondaryRoot, position));
    const Vector3 placed = transformPoint({primaryRoot.m[3][0], primaryRoot.m[3][1], primaryRoot.m[3][2]}, r.app.scene->world);
    EXPECT_NEAR(placed.x, secondaryRoot.m[3][0], 1e-4f);
    EXPECT_NEAR(placed.y, secondaryRoot.m[3][1], 1e-4f);
    EXPECT_NEAR(placed.z, secondaryRoot.m[3][2], 1e-4f);
    EXPECT_NEAR(secondaryRoot.m[3][0], -3.0f, 1e-4f);  // the exporter's x, mirrored
    // The root markers: one indexed cube draw per character.
    const auto& draws = r.host.memory().draws;
    int cubes = 0;
    for (const RecordedDraw& d : draws) cubes += d.indexed && d.primitiveCount == 12 && d.fvf == fvf::kXyz;
    EXPECT_GE(cubes, 2);
}

TEST(FrameTimer, ReportsTheMeanRateOverAtLeastOneSecondAndSurvivesWrapAround)
{
    FrameTimer timer;
    float fps = 0.0f;
    std::uint32_t now = 0xFFFFFF00u;  // the clock wraps during the run
    for (int i = 0; i < 10; ++i) {
        timer.update(now, fps);
        now += 100;
    }
    EXPECT_FLOAT_EQ(fps, 0.0f);  // 0.9 s so far
    timer.update(now, fps);
    EXPECT_NEAR(fps, 11.0f, 1e-3f);
    now += 5000;  // a pause (inactive window) counts into the next window
    timer.update(now, fps);
    EXPECT_NEAR(fps, 1.0f / 5.0f, 1e-4f);
}

TEST(Overlay, LinesCarryTheValuesWithSixDecimalsAndTheKoreanHelp)
{
    const auto lines = overlayLines(0.0f, {0, 0, -300}, {500, 500, -500});
    EXPECT_EQ(lines[0], "FPS: 0.000000");
    EXPECT_EQ(lines[1], "[CAMERA]X:0.000000, Y:0.000000, Z:-300.000000");
    EXPECT_EQ(lines[2], "[광원]X:500.000000, Y:500.000000, Z:-500.000000");
    EXPECT_EQ(lines[3], "[Camera이동] W/A/S/D [Roll] Q/E [↑↓] R/F");
    EXPECT_EQ(lines[5], "[Light이동] Ctrl+ [X이동]NUM8/NUM5 [Y이동]NUM4/NUM6 [Z이동]NUM7/NUM9");
    EXPECT_EQ(lines[6], "[WIRE/SOLID] SPACE BAR");
}

TEST(Playback, KeysFollowTheClockWhateverTheFrameRate)
{
    Files files;
    // Two seconds of frames at each rate and speed reach the same key: 30 keys
    // a second, a quarter of that after key 2.
    const struct {
        double fps;
        std::uint32_t speedKey;
        int key;
    } rows[] = {{30, '1', 60}, {144, '1', 60}, {60, '1', 60}, {144, '2', 15}, {30, '2', 15}};
    for (const auto& row : rows) {
        Running r(1, nullptr, 1.0 / row.fps);
        r.command(command::kOpenKovr1Ref, files.characterRef);
        r.command(command::kOpenKovr1Ani, files.walkLong);
        r.key(row.speedKey);
        r.frames(static_cast<int>(2 * row.fps));
        EXPECT_EQ(r.app.scene->primary->animations[0].currentFrame, row.key) << row.fps << " fps, key " << char(row.speedKey);
    }
}

TEST(Playback, PauseHoldsEveryAnimationAndCommaAndPeriodStepIt)
{
    CharacterOpen open;
    auto& [files, r, app] = open;
    r.command(command::kOpenKovr1Ani, files.walkA);
    r.command(command::kOpenSmdRef, files.dir.file("hero.smd"));
    r.command(command::kOpenSmdAni, files.dir.file("walka.smd"));
    r.frames(5);  // 2 keys
    const EngineAnimation& a = r.app.scene->primary->animations[0];
    EXPECT_EQ(a.currentFrame, 2);
    r.key('P');
    r.frames(30);
    EXPECT_EQ(a.currentFrame, 2);
    EXPECT_EQ(r.app.smdModel->animations[0].currentFrame, 2);
    r.key(VK_OEM_PERIOD);
    r.key(VK_OEM_PERIOD);   // 3, then around to 0
    r.key(VK_OEM_COMMA);    // back to 3
    r.frames(1);
    EXPECT_EQ(a.currentFrame, 3);
    EXPECT_EQ(r.app.smdModel->animations[0].currentFrame, 3);
    EXPECT_EQ(r.app.playbackLines(), (std::vector<std::string>{"[SMD] walka.smd 3 / 4 paused", "[Kovr1] walka.mAni 3 / 4 paused"}));
    // The overlay draws its seven lines and one a playing model; F1 hides it all.
    const int before = r.host.memory().textDraws;
    r.frames(1);
    EXPECT_EQ(r.host.memory().textDraws - before, 9);
    r.key(VK_F1);
    r.frames(1);
    EXPECT_EQ(r.host.memory().textDraws - before, 9);
    r.key('P');
    r.frames(3);
    EXPECT_EQ(a.currentFrame, 0);
    // Not paused, ',' and '.' do nothing.
    r.key(VK_OEM_PERIOD);
    EXPECT_EQ(a.currentFrame, 0);
}

// Whether every corner of the box lands inside the picture.
bool inView(const Application& app, const Bounds& b)
{
    const Matrix viewProjection = matrixMultiply(app.graphics.viewMatrix, app.graphics.projectionMatrix);
    for (int i = 0; i < 8; ++i) {
        const Vector3 p = vec3TransformCoord({i & 1 ? b.max.x : b.min.x, i & 2 ? b.max.y : b.min.y, i & 4 ? b.max.z : b.min.z}, viewProjection);
        if (std::fabs(p.x) > 1.0f || std::fabs(p.y) > 1.0f || p.z < 0.0f || p.z > 1.0f) return false;
    }
    return true;
}

float distance(const Vector3& a, const Vector3& b) { return std::sqrt(vec3Dot({a.x - b.x, a.y - b.y, a.z - b.z}, {a.x - b.x, a.y - b.y, a.z - b.z})); }

TEST(View, TheFirstModelIsFramedAndTheCameraOrbitsZoomsAndResets)
{
    CharacterOpen open;
    auto& [files, r, app] = open;
    const Bounds bounds = app.shownBounds();
    ASSERT_FALSE(bounds.empty());
    EXPECT_TRUE(inView(app, bounds));
    const Vector3 framed = app.graphics.camera.position;
    EXPECT_GT(framed.y, app.orbitCentre.y);   // from a little above the centre
    EXPECT_FLOAT_EQ(app.graphics.camera.look.z, 1.0f);
    // A second model keeps the view; Home frames again after moving away.
    r.key('S');
    r.command(command::kOpenKovr2Ref, files.characterRef);
    EXPECT_NE(app.graphics.camera.position.z, framed.z);
    r.key(VK_HOME);
    EXPECT_NEAR(distance(app.graphics.camera.position, framed), 0.0f, 1e-3f);

    // A left drag carries the camera around the centre at the same distance;
    // the wheel brings it nearer.
    const float before = distance(app.graphics.camera.position, app.orbitCentre);
    app.handleMessage(WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(100, 100));
    app.handleMessage(WM_MOUSEMOVE, MK_LBUTTON, makeLParam(160, 130));
    app.handleMessage(WM_LBUTTONUP, 0, makeLParam(160, 130));
    EXPECT_NEAR(distance(app.graphics.camera.position, app.orbitCentre), before, before * 1e-4f);
    EXPECT_GT(std::fabs(app.graphics.camera.position.x - framed.x), 1.0f);
    EXPECT_GT(app.graphics.camera.position.y, framed.y);   // dragged down: from above
    EXPECT_TRUE(inView(app, bounds));
    // The button let go outside the window: the next move without it ends the orbit.
    app.handleMessage(WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(100, 100));
    app.handleMessage(WM_MOUSEMOVE, 0, makeLParam(300, 100));
    EXPECT_FALSE(app.orbiting);
    app.handleMessage(WM_MOUSEWHEEL, makeWParam(0, 120), 0);
    EXPECT_NEAR(distance(app.graphics.camera.position, app.orbitCentre), before * 0.85f, before * 1e-3f);

    r.key(VK_BACK);
    EXPECT_FLOAT_EQ(app.graphics.camera.position.z, -300.0f);
    EXPECT_FLOAT_EQ(app.graphics.camera.position.x, 0.0f);
    EXPECT_FLOAT_EQ(app.graphics.camera.look.z, 1.0f);
}

// A first-person weapon's idle: the model held 200 units aside, 150 deep and
// 100 up from where it was modelled, on every key.
TEST(View, TheFirstAnimationOntoAModelFramedOnOpeningFramesAgainUnlessTheCameraMoved)
{
    Files files;
    test::writeText(files.dir.file("away.smd"), walk(200, 150, 100));
    FormatConverter converter;
    ASSERT_TRUE(converter.convertAnimation(files.dir.file("away.smd")));
    {
        Running r;
        Application& app = r.app;
        r.command(command::kOpenKovr1Ref, files.characterRef);
        const Vector3 bind = app.graphics.camera.position;
        r.command(command::kOpenKovr1Ani, files.dir.file("away.mAni"));
        EXPECT_GT(distance(app.graphics.camera.position, bind), 100.0f);
        r.frames(3);
        Bounds drawn;
        addEngineModelBounds(*app.scene->primary, app.scene->primaryWorld, drawn);
        EXPECT_TRUE(inView(app, drawn));
        // The next animation keeps the view; Home frames over the one that plays.
        const Vector3 framed = app.graphics.camera.position;
        r.command(command::kOpenKovr1Ani, files.walkA);
        EXPECT_NEAR(distance(app.graphics.camera.position, framed), 0.0f, 1e-3f);
        r.key(VK_HOME);
        EXPECT_LT(distance(app.graphics.camera.position, bind), 1.0f);
    }
    {
        Running r;
        Application& app = r.app;
        r.command(command::kOpenSmdRef, files.dir.file("hero.smd"));
        r.frames(2);
        r.command(command::kOpenSmdAni, files.dir.file("away.smd"));
        EXPECT_TRUE(inView(app, app.shownBounds()));
        // Moved since: the camera stays where it was put.
        r.command(command::kClean);
        r.command(command::kOpenSmdRef, files.dir.file("hero.smd"));
        r.key('S');
        const Vector3 moved = app.graphics.camera.position;
        r.command(command::kOpenSmdAni, files.dir.file("away.smd"));
        EXPECT_NEAR(distance(app.graphics.camera.position, moved), 0.0f, 1e-3f);
        EXPECT_FALSE(inView(app, app.shownBounds()));
    }
}

TEST(View, AHeldKeyMovesByTheClockAfterATapsStep)
{
    Running r;
    const float z0 = r.app.graphics.camera.position.z;
    const double down = r.host.now();
    r.key('W');
    EXPECT_NEAR(r.app.graphics.camera.position.z, z0 + 10.0f, 1e-4f);
    r.key('W', kKeyPreviouslyDown);   // the keyboard's repeat: not a step
    r.frames(18);                     // 0.3 s: still a tap
    EXPECT_NEAR(r.app.graphics.camera.position.z, z0 + 10.0f, 1e-3f);
    // Then 250 units a second, up to the last frame drawn.
    r.frames(60);
    const double held = r.host.now() - r.host.frameSeconds - (down + 0.3);
    EXPECT_NEAR(r.app.graphics.camera.position.z, z0 + 10.0f + 250.0f * static_cast<float>(held), 0.01f);
    const float let = r.app.graphics.camera.position.z;
    r.app.handleMessage(WM_KEYUP, 'W', kKeyPreviouslyDown | kKeyTransitionUp);
    r.frames(10);
    EXPECT_EQ(r.app.graphics.camera.position.z, let);
}

// The colours of the coloured vertices drawn from memory as lines or
// triangles, the axis grid left out.
std::set<std::uint32_t> colours(const std::vector<RecordedDraw>& draws, PrimitiveType type)
{
    std::set<std::uint32_t> found;
    for (const RecordedDraw& d : draws) {
        if (!d.userPointer || d.type != type || (type == PrimitiveType::LineList && d.primitiveCount == 86)) continue;
        for (std::size_t i = 0; i + sizeof(LineVertex) <= d.userVertices.size(); i += sizeof(LineVertex)) {
            LineVertex v;
            std::memcpy(&v, d.userVertices.data() + i, sizeof v);
            found.insert(v.colour);
        }
    }
    return found;
}

TEST(View, InPlaceHoldsTheRootOverTheOriginAndTheSkeletonIsDrawnOnTop)
{
    CharacterOpen open;
    auto& [files, r, app] = open;
    r.command(command::kOpenKovr1Ani, files.walkB);   // the root key at (3, 5, 7): viewer (-3, 7, 5)
    r.frames(1);
    const Matrix& root = r.app.scene->primary->meshes[0].bonePalette[0];
    EXPECT_NEAR(root.m[3][0], -3.0f, 1e-4f);
    r.key('I');
    EXPECT_TRUE(r.app.inPlace);
    EXPECT_TRUE(r.host.checks[command::kInPlace]);
    r.frames(1);
    EXPECT_NEAR(root.m[3][0], 0.0f, 1e-4f);
    EXPECT_NEAR(root.m[3][1], 7.0f, 1e-4f);   // the height stays
    EXPECT_NEAR(root.m[3][2], 0.0f, 1e-4f);

    r.key('B');
    r.host.memory().draws.clear();
    r.frames(1);
    EXPECT_EQ(colours(r.host.memory().draws, PrimitiveType::LineList), (std::set<std::uint32_t>{kBoneColour, kRootColour, kHandColour}));
}

TEST(Files, F5ReloadsInOrderAndRecentFilesAndTheFolderLastUsedAreKept)
{
    Files files;
    MemorySettings settings;
    {
        Running r(1, &settings);
        r.command(command::kOpenKovr1Ref, files.characterRef);
        r.command(command::kOpenKovr1Ani, files.walkA);
        r.command(command::kOpenSmdRef, files.dir.file("hero.smd"));
        ASSERT_EQ(r.app.openedFiles().size(), 3u);
        EXPECT_EQ(r.app.openedFiles()[1], (OpenedFile{command::kOpenKovr1Ani, files.walkA}));
        // Re-exported: F5 reads the files again.
        std::filesystem::copy_file(files.walkB, files.walkA, std::filesystem::copy_options::overwrite_existing);
        r.key(VK_F5);
        EXPECT_EQ(r.app.scene->primaryMode, static_cast<int>(DrawMode::Play));
        EXPECT_FLOAT_EQ(r.app.scene->primary->animations[0].frame(0)[0].position[0], 3.0f);
        EXPECT_EQ(r.app.openedFiles().size(), 3u);
        EXPECT_EQ(r.host.dialogFolder(), files.dir.path().string());
        // A file that now fails is reported as any failed open is.
        std::filesystem::remove(files.characterRef);
        const std::size_t boxes = r.host.shell.boxes.size();
        r.key(VK_F5);
        EXPECT_GT(r.host.shell.boxes.size(), boxes);
        EXPECT_EQ(r.host.captions[command::kRecentFirst], "&1 Open > SMD > Ref: " + files.dir.file("hero.smd"));
        r.command(command::kClean);
        EXPECT_TRUE(r.app.openedFiles().empty());
    }
    // The next run finds them; a recent item opens its file with its command.
    EXPECT_EQ(settings.text("lastFolder"), files.dir.path().string());
    Running next(1, &settings);
    EXPECT_EQ(next.host.captions[command::kRecentFirst + 2], "&3 Open > Kovr1 > mRef: " + files.characterRef);
    EXPECT_EQ(next.host.dialogFolder(), files.dir.path().string());
    next.command(command::kRecentFirst);
    ASSERT_NE(next.app.smdModel, nullptr);
    EXPECT_TRUE(next.app.smdModel->hasMesh);
}

TEST(Files, RecentFilesKeepEightNewestFirstAndSkipWhatTheyCannotUse)
{
    RecentFiles recent;
    for (int i = 0; i < 10; ++i) recent.add({command::kOpenKovr1Ref, "/m/" + std::to_string(i) + ".mRef"});
    recent.add({command::kOpenKovr1Ref, "/m/5.mRef"});
    ASSERT_EQ(recent.files().size(), 8u);
    EXPECT_EQ(recent.files()[0].path, "/m/5.mRef");
    EXPECT_EQ(recent.files()[1].path, "/m/9.mRef");
    EXPECT_EQ(recent.files()[7].path, "/m/2.mRef");

    RecentFiles loaded;
    std::vector<std::string> lines = recent.save();
    lines.insert(lines.begin(), {"", "40007", "x\t/a", "40002\t/exit", "40007 \t/space", "40009\t/r&d/a.smd", "40009\t/r&d/a.smd"});
    loaded.load(lines);
    ASSERT_EQ(loaded.files().size(), 8u);
    EXPECT_EQ(loaded.files()[0], (OpenedFile{command::kConvertRef, "/r&d/a.smd"}));
    EXPECT_EQ(recentCaption(0, loaded.files()[0]), "&1 Convert > Ref: /r&&d/a.smd");
    EXPECT_EQ(folderOf("/r&d/a.smd"), "/r&d");
    EXPECT_EQ(folderOf("a.smd"), "");
}

TEST(Files, F12WritesThePictureAsAPngNamedByTheTimeAndNeverOverAnother)
{
    test::TempDir dir;
    Running r;
    r.app.screenshotFolder = dir.path().string();
    // A small window keeps the picture quick to encode; it has the window's size.
    r.app.handleMessage(WM_SIZE, SIZE_RESTORED, makeLParam(80, 60));
    r.key(VK_F12);
    r.frames(1);
    EXPECT_NE(r.capture.console.text.find("[Screenshot] " + dir.path().string() + "/veskar-"), std::string::npos) << r.capture.console.text;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
        int w = 0, h = 0, channels = 0;
        EXPECT_TRUE(stbi_info(entry.path().c_str(), &w, &h, &channels));
        EXPECT_EQ(w, 80);
        EXPECT_EQ(h, 60);
    }
    EXPECT_EQ(files, 1);

    std::tm time{};
    time.tm_year = 2024 - 1900;
    time.tm_mon = 2;
    time.tm_mday = 5;
    time.tm_hour = 7;
    time.tm_min = 8;
    time.tm_sec = 9;
    std::string first, second, error;
    ASSERT_TRUE(saveScreenshot(r.host.memory(), dir.path().string(), time, first, error)) << error;
    ASSERT_TRUE(saveScreenshot(r.host.memory(), dir.path().string(), time, second, error)) << error;
    EXPECT_EQ(first, dir.file("veskar-20240305-070809.png"));
    EXPECT_EQ(second, dir.file("veskar-20240305-070809-2.png"));
}


TEST(Animations, EachModelKeepsItsAnimationsPlaysItsPickAndTheTimelineFollowsThePrimary)
{
    CharacterOpen open;
    auto& [files, r, app] = open;
    r.command(command::kOpenKovr1Ani, files.walkA);      // 4 keys
    r.command(command::kOpenKovr1Ani, files.walkLong);   // 64 keys; the one opened last plays
    r.command(command::kOpenSmdRef, files.dir.file("hero.smd"));
    r.command(command::kOpenSmdAni, files.dir.file("walka.smd"));
    EngineModel& primary = *app.scene->primary;
    EXPECT_EQ(primary.animationCount, 2);
    EXPECT_EQ(primary.currentAnimation, 1);
    EXPECT_EQ(r.host.captions[command::animationCommand(Animated::Primary, 0)], "&1 walka.mAni");
    EXPECT_EQ(r.host.captions[command::animationCommand(Animated::Primary, 1)], "&2 long.mAni");
    EXPECT_TRUE(r.host.checks[command::animationCommand(Animated::Primary, 1)]);
    EXPECT_FALSE(r.host.checks[command::animationCommand(Animated::Primary, 0)]);
    EXPECT_EQ(r.host.captions[command::animationCommand(Animated::Secondary, 0)], "(none)");
    r.frames(1);
    EXPECT_EQ(app.timeline().keyCount, 64);
    EXPECT_EQ(app.timeline().animations, (std::vector<std::string>{"walka.mAni", "long.mAni"}));
    EXPECT_EQ(app.timeline().animation, 1);
    EXPECT_EQ(app.timeline().bones, (std::vector<std::string>{"(no weights)", "Bip01", "Bip01 L Hand"}));
    EXPECT_EQ(app.timeline().speeds[static_cast<std::size_t>(app.timeline().speed)], "1x");
    EXPECT_TRUE(app.timeline().playing);

    // The list picks for the model it names.
    app.handleMessage(WM_COMMAND, makeWParam(strip::kAnimations, CBN_SELCHANGE), 0);
    EXPECT_EQ(primary.currentAnimation, 0);
    r.frames(1);
    EXPECT_EQ(app.timeline().keyCount, 4);
    // The slider stands every animation on its key, paused; a shorter one on its last.
    r.command(command::animationCommand(Animated::Primary, 1));
    app.handleMessage(WM_HSCROLL, makeWParam(TB_THUMBTRACK, 0), 40);
    r.frames(2);
    EXPECT_TRUE(app.paused);
    EXPECT_EQ(app.playbackLines(), (std::vector<std::string>{"[SMD] walka.smd 3 / 4 paused", "[Kovr1] long.mAni 40 / 64 paused"}));
    EXPECT_EQ(app.timeline().key, 40);
    EXPECT_FALSE(app.timeline().playing);
    // The speed box, the keys 1 and 2, and the play button.
    app.handleMessage(WM_COMMAND, makeWParam(strip::kSpeed, CBN_SELCHANGE), 7);
    EXPECT_FLOAT_EQ(app.playbackSpeed(), 4.0f);
    r.key('2');
    EXPECT_FLOAT_EQ(app.playbackSpeed(), 0.25f);
    app.handleMessage(WM_COMMAND, makeWParam(strip::kPlay, BN_CLICKED), 0);
    EXPECT_FALSE(app.paused);

    // F5 opens everything again and each model plays what it played.
    r.command(command::animationCommand(Animated::Primary, 0));
    r.key(VK_F5);
    EXPECT_EQ(app.scene->primary->animationCount, 2);
    EXPECT_EQ(app.scene->primary->currentAnimation, 0);
    // --play N: every model with N animations plays its Nth; one with fewer keeps its pick.
    app.startupView.play = 2;
    app.applyStartupView();
    EXPECT_EQ(app.scene->primary->currentAnimation, 1);
    EXPECT_EQ(app.smdModel->currentAnimation, 0);
    EXPECT_EQ(app.failedCommandLineCommands, 0);
    app.startupView.play = 3;
    app.applyStartupView();
    EXPECT_EQ(app.failedCommandLineCommands, 1);
}

TEST(View, KeypadViewsLookAtTheSidesOfWhatIsFramedAndFiveSwitchesToOrthographic)
{
    CharacterOpen open;
    auto& [files, r, app] = open;
    const Bounds bounds = app.shownBounds();
    const struct {
        std::uint32_t key;
        std::uint32_t command;
        Vector3 look;
    } rows[] = {{VK_NUMPAD3, 0, {-1, 0, 0}},          {VK_NUMPAD7, 0, {0, -1, 0}},
                {0, command::kViewBack, {0, 0, -1}}, {0, command::kViewLeft, {1, 0, 0}},
                {0, command::kViewBottom, {0, 1, 0}}, {VK_NUMPAD1, 0, {0, 0, 1}}};
    for (const auto& row : rows) {
        if (row.key) r.key(row.key);
        else r.command(row.command);
        const Vector3& look = app.graphics.camera.look;
        EXPECT_NEAR(distance(look, row.look), 0.0f, 1e-5f) << row.key << " " << row.command;
        EXPECT_TRUE(inView(app, bounds)) << row.key << " " << row.command;
    }
    // Orthographic: the box still in view; moving in zooms.
    r.key(VK_NUMPAD5);
    EXPECT_TRUE(app.graphics.orthographic);
    EXPECT_TRUE(r.host.checks[command::kOrthographic]);
    EXPECT_FLOAT_EQ(app.graphics.projectionMatrix.m[3][3], 1.0f);
    EXPECT_TRUE(inView(app, bounds));
    const float wide = app.graphics.orthographicHeight;
    app.handleMessage(WM_MOUSEWHEEL, makeWParam(0, 120), 0);
    r.frames(1);
    EXPECT_NEAR(app.graphics.orthographicHeight, wide * 0.85f, wide * 1e-3f);
    r.key(VK_NUMPAD5);
    EXPECT_FALSE(app.graphics.orthographic);
    EXPECT_FLOAT_EQ(app.graphics.projectionMatrix.m[3][3], 0.0f);
}

TEST(View, NamesNormalsWeightsAndWireframeAreDrawnOverTheModels)
{
    const std::pair<float, std::uint32_t> heat[] = {{0.0f, 0xFF0000FFu}, {0.25f, 0xFF00FFFFu}, {0.5f, 0xFF00FF00u}, {0.75f, 0xFFFFFF00u},
                                                    {1.0f, 0xFFFF0000u}, {NAN, 0xFF0000FFu},    {7.0f, 0xFFFF0000u}};
    for (const auto& [weight, colour] : heat) EXPECT_EQ(heatColour(weight), colour) << weight;

    CharacterOpen open;
    auto& [files, r, app] = open;
    r.command(command::kOpenKovr1Ani, files.walkA);
    r.frames(1);
    const int texts = r.host.memory().textDraws;
    r.key('N');
    r.frames(1);
    EXPECT_EQ(r.host.memory().textDraws - texts, 7 + 1 + 2);   // the overlay, the playback line, two bone names
    r.key('V');
    r.key('X');
    // The bones' list picks by its index; the bone painted covers its vertices
    // in red and the rest in blue, and the surface is not drawn textured.
    app.handleMessage(WM_COMMAND, makeWParam(strip::kBones, CBN_SELCHANGE), 2);
    EXPECT_EQ(app.weightBone, "Bip01 L Hand");
    EXPECT_TRUE(r.host.checks[command::kWeights]);
    r.host.memory().draws.clear();
    r.frames(1);
    const auto surfaceDrawn = [&] {
        for (const RecordedDraw& d : r.host.memory().draws)
            if (d.indexed && d.stream == app.scene->primary->meshObjects[0].bindBuffer) return true;
        return false;
    };
    EXPECT_FALSE(surfaceDrawn());
    // The weights read the ramp from end to end: the hand's corners have 1,
    // the root's 0.
    float least = 1.0f, most = 0.0f;
    const Texture* ramp = nullptr;
    for (const RecordedDraw& d : r.host.memory().draws) {
        if (!d.userPointer || d.type != PrimitiveType::TriangleList) continue;
        ramp = d.texture;
        for (std::size_t i = 0; i + sizeof(HeatVertex) <= d.userVertices.size(); i += sizeof(HeatVertex)) {
            HeatVertex v;
            std::memcpy(&v, d.userVertices.data() + i, sizeof v);
            least = std::min(least, v.u);
            most = std::max(most, v.u);
        }
    }
    ASSERT_NE(ramp, nullptr);
    EXPECT_EQ(ramp->width, kHeatRampTexels);
    EXPECT_NEAR(least * kHeatRampTexels, 0.5f, 1e-3f);
    EXPECT_NEAR(most * kHeatRampTexels, kHeatRampTexels - 0.5f, 1e-3f);
    const auto lines = colours(r.host.memory().draws, PrimitiveType::LineList);
    EXPECT_TRUE(lines.count(0xFF000000u) && lines.count(0xFF40A0FFu));   // edges and normals
    // H takes the colours away and brings the same bone back.
    r.key('H');
    r.host.memory().draws.clear();
    r.frames(1);
    EXPECT_TRUE(surfaceDrawn());
    for (const RecordedDraw& d : r.host.memory().draws) EXPECT_FALSE(d.userPointer && d.type == PrimitiveType::TriangleList);
    r.key('H');
    EXPECT_EQ(app.weightBone, "Bip01 L Hand");
}

TEST(ViewOptions, CommandLineValuesAreReadOrRefused)
{
    ShownLayers layers;
    std::string unknown;
    ASSERT_TRUE(parseShownLayers("skeleton,names", layers, unknown));
    EXPECT_TRUE(layers.skeleton && layers.names && !layers.grid && !layers.overlay && !layers.normals && !layers.wireframe);
    ASSERT_TRUE(parseShownLayers("none", layers, unknown));
    EXPECT_FALSE(layers.grid || layers.overlay || layers.skeleton);
    EXPECT_FALSE(parseShownLayers("grid,bones", layers, unknown));
    EXPECT_EQ(unknown, "bones");
    EXPECT_FALSE(parseShownLayers("grid,", layers, unknown));
    std::uint32_t argb = 0;
    EXPECT_TRUE(parseBackground("#FF8000", argb) && argb == 0xFFFF8000u);
    EXPECT_TRUE(parseBackground("transparent", argb) && (argb >> 24) == 0);
    for (const char* bad : {"red", "#FF80", "#FF80001", "#GG8000", "FF8000"}) EXPECT_FALSE(parseBackground(bad, argb)) << bad;
    int w = 0, h = 0;
    EXPECT_TRUE(parsePictureSize("400x300", w, h) && w == 400 && h == 300);
    for (const char* bad : {"0x300", "400x", "x300", "400*300", "9000x10", "-4x3", "400x300x2"}) EXPECT_FALSE(parsePictureSize(bad, w, h)) << bad;
    ViewSide side{};
    EXPECT_TRUE(parseViewSide("left", side) && side == ViewSide::Left);
    EXPECT_FALSE(parseViewSide("Left", side));
    int n = 0;
    EXPECT_TRUE(parseCount("12", 1, 32, n) && n == 12);
    for (const char* bad : {"0", "33", "1.5", "", " 3", "+3"}) EXPECT_FALSE(parseCount(bad, 1, 32, n)) << bad;
}

} // namespace
} // namespace veskar
