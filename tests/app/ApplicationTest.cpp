#include "FakeHost.h"
#include "TestSupport.h"

#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/MenuCommands.h"
#include "app/Overlay.h"
#include "app/RootMarkers.h"
#include "formats/EngineModel.h"
#include "formats/FormatConverter.h"
#include "import/SmdModel.h"
#include "render/EngineModelDrawing.h"

#include <cmath>

namespace veskar {
namespace {

using test::FakeHost;

// A two-bone character: "Bip01" at the origin and "Bip01 L Hand" 10 up.
const char* const kCharacterSmd =
    "version 1\nnodes\n0 \"Bip01\" -1\n1 \"Bip01 L Hand\" 0\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\n1 0 0 10 0 0 0\nend\n"
    "triangles\nskin.png\n0 0 0 0 0 0 1 0 0 1 0 1\n1 1 0 10 0 0 1 1 0 1 1 1\n0 0 1 0 0 0 1 0 1 1 0 1\n"
    "skin.png\n0 0 0 0 0 0 1 0 0 1 0 1\n1 1 0 10 0 0 1 1 0 1 1 1\n0 0 2 0 0 0 1 0 1 1 0 1\nend\n";

std::string walk(float rootX, float rootY, float rootZ)
{
    std::string s = "version 1\nnodes\n0 \"Bip01\" -1\n1 \"Bip01 L Hand\" 0\nend\nskeleton\n";
    for (int f = 0; f < 4; ++f)
        s += "time " + std::to_string(f) + "\n0 " + std::to_string(rootX) + " " + std::to_string(rootY) + " " + std::to_string(rootZ) +
             " 0 0 0\n1 0 0 10 0 0 0\n";
    return s + "end\n";
}

// Converted sample files in a temporary folder.
struct Files {
    test::TempDir dir;
    std::string characterRef, walkA, walkB;
    Files()
    {
        test::writeText(dir.file("hero.smd"), kCharacterSmd);
        test::writeText(dir.file("walka.smd"), walk(0, 0, 0));
        test::writeText(dir.file("walkb.smd"), walk(3, 5, 7));
        FormatConverter converter(nullptr);
        EXPECT_TRUE(converter.convertReference(dir.file("hero.smd")));
        EXPECT_TRUE(converter.convertAnimation(dir.file("walka.smd")));
        EXPECT_TRUE(converter.convertAnimation(dir.file("walkb.smd")));
        characterRef = dir.file("hero.mRef");
        walkA = dir.file("walka.mAni");
        walkB = dir.file("walkb.mAni");
    }
};

// Runs the application on a fake host for a few frames.
struct Running {
    FakeHost host;
    Application app;
    test::Capture capture;
    explicit Running(int frames = 1) { start(frames); }
    void start(int frames) { app.run(host, frames); }
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

TEST(Application, StartsWithTheWindowMenuAndOverlayAndClearsToTheBackground)
{
    Running r(2);
    EXPECT_EQ(r.host.options.title, "[Tavimor] Veskar");
    EXPECT_EQ(r.host.options.clientWidth, 800);
    EXPECT_EQ(r.host.options.clientHeight, 600);
    ASSERT_EQ(r.host.options.menu.size(), 18u);
    EXPECT_EQ(r.host.options.menu[2].caption, "E&xit");
    EXPECT_EQ(r.host.options.menu[2].command, 40002u);
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
    const Vector3 light = r.app.graphics.light.position;
    r.app.handleMessage(WM_KEYDOWN, VK_NUMPAD8, 0);
    r.app.handleMessage(WM_KEYDOWN, VK_NUMPAD4, 0);
    r.app.handleMessage(WM_KEYDOWN, VK_NUMPAD9, 0);
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
    EngineModel* before = r.app.scene->primary;
    r.command(command::kOpenKovr1Ref);
    EXPECT_EQ(r.app.scene->primary, before);
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
}

TEST(Scene, PrimaryIsMovedOntoTheSecondarysRootKeyInViewerSpace)
{
    Files files;
    Running r;
    r.command(command::kOpenKovr1Ref, files.characterRef);
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
    EXPECT_EQ(lines[6], "[WIRE/SOLID] SPACE BAR");
}

} // namespace
} // namespace veskar
