// The hosts: Win32 message words, the message queue, the Open dialog's
// pattern matching, the Qt key table, the headless host's frames, and the Qt
// window under an Xvfb the test starts for itself (skipped without one).

#include "gpu/Device.h"
#include "host/HeadlessHost.h"
#include "host/Host.h"
#include "host/qt/QtHost.h"
#include "host/qt/QtShell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace veskar::test {
namespace {

namespace fs = std::filesystem;

// What main() could get: an X server of the test's own (so real input may be
// sent with xdotool), someone else's display, or nothing.
struct Display {
    bool available = false;
    bool own = false;
    std::string why;
};
Display g_display;

bool haveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string tempPath(const std::string& name)
{
    return (fs::temp_directory_path() / ("veskar-host-" + std::to_string(::getpid()) + "-" + name)).string();
}

// The application's menu resource.
std::vector<MenuItem> menuTable()
{
    return {
        {0, "&File", 0},    {1, "&Clean", 40001}, {1, "E&xit", 40002},  {0, "&Open", 0},          {1, "&SMD", 0},
        {2, "&Ref", 40005}, {2, "&Ani", 40006},   {1, "Kovr&1", 0},     {2, "m&Ref", 40007},      {2, "m&Ani", 40008},
        {1, "Kovr&2", 0},   {2, "m&Ref", 40012},  {2, "m&Ani", 40013},  {1, "&Weapon_Kovr", 0},   {2, "m&Ref", 40015},
        {0, "&Convert", 0}, {1, "&Ref", 40009},   {1, "&Ani", 40010},
    };
}

HostOptions windowOptions()
{
    HostOptions options;
    options.title = "[Tavimor] Veskar";
    options.clientWidth = 800;
    options.clientHeight = 600;
    options.iconPath = "src/app/veskar-icon.png";
    options.menu = menuTable();
    options.acceptFiles = true;
    return options;
}

// Fetches messages until one satisfies the test or the time is up; returns
// everything fetched.
std::vector<WindowMessage> pumpUntil(Host& host, const std::function<bool(const WindowMessage&)>& wanted, int milliseconds = 3000)
{
    std::vector<WindowMessage> seen;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        WindowMessage m;
        while (host.peekMessage(m)) {
            seen.push_back(m);
            if (wanted && wanted(m)) return seen;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return seen;
}

std::vector<WindowMessage> pumpFor(Host& host, int milliseconds) { return pumpUntil(host, nullptr, milliseconds); }

std::vector<WindowMessage> only(const std::vector<WindowMessage>& messages, std::initializer_list<std::uint32_t> ids)
{
    std::vector<WindowMessage> out;
    for (const auto& m : messages)
        for (std::uint32_t id : ids)
            if (m.id == id) out.push_back(m);
    return out;
}

// ---------------------------------------------------------------------------

TEST(MessageQueue, QuitWaitsForEverythingPosted)
{
    MessageQueue queue;
    queue.post({WM_KEYDOWN, VK_SPACE, 1, {}});
    queue.postQuit(3);
    queue.post({WM_COMMAND, 40001, 0, {}});
    WindowMessage m;
    ASSERT_TRUE(queue.take(m));
    EXPECT_EQ(m.id, WM_KEYDOWN);
    ASSERT_TRUE(queue.take(m));
    EXPECT_EQ(m.id, WM_COMMAND);
    ASSERT_TRUE(queue.take(m));
    EXPECT_EQ(m.id, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(queue.take(m)) << "the quit request is used up once fetched";
    EXPECT_TRUE(queue.empty());
}

TEST(FileFilterMatch, PatternsIgnoreCaseAsOnWindows)
{
    for (const char* name : {"hero.SMD", "HERO.smd", "hero.smd", "a.b.smd"}) EXPECT_TRUE(matchesFilter(name, "*.SMD")) << name;
    for (const char* name : {"hero.smd.bak", "hero.mRef", "herosmd"}) EXPECT_FALSE(matchesFilter(name, "*.SMD")) << name;
    EXPECT_TRUE(matchesFilter("walk.mani", "*.mRef; *.mAni"));
    EXPECT_FALSE(matchesFilter("walk.smd", "*.mRef;*.mAni"));
    EXPECT_TRUE(matchesFilter("run01.smd", "run??.smd"));
    EXPECT_FALSE(matchesFilter("run1.smd", "run??.smd"));
    EXPECT_TRUE(matchesFilter("a*b*c.txt", "a*c.txt")) << "a '*' in the name is no wildcard";
    EXPECT_TRUE(matchesFilter("README", "*.*")) << "Windows lists undotted names under *.*";
    EXPECT_FALSE(matchesFilter(std::string(200, 'a'), "*a*a*a*a*b"));
}

// Without a display: the table alone, with the keys a desktop reports
// differently from Windows (keypad with and without NumLock).
TEST(QtKeyTable, KeysTheWindowProcedureUses)
{
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_W, false), static_cast<std::uint32_t>('W'));
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_1, false), static_cast<std::uint32_t>('1'));
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Space, false), VK_SPACE);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_F12, false), VK_F12);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_PageUp, false), VK_PRIOR);
    for (int i = 0; i <= 9; ++i) EXPECT_EQ(virtualKeyFromQt(Qt::Key_0 + i, true), VK_NUMPAD0 + static_cast<std::uint32_t>(i));
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Plus, true), VK_ADD);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Minus, false), VK_OEM_MINUS);
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Up, true), VK_UP) << "NumLock off: keypad 8 is an arrow";
    EXPECT_EQ(virtualKeyFromQt(Qt::Key_Exclam, false), 0u);
}

// ---------------------------------------------------------------------------

class HeadlessHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HostOptions options;
        options.clientWidth = 64;
        options.clientHeight = 48;
        std::string error;
        if (!host_.create(options, error)) GTEST_SKIP() << "no headless GL: " << error;
    }
    HeadlessHost host_;
};

TEST_F(HeadlessHostTest, ClearedFrameReachesThePng)
{
    Device* device = host_.device();
    ASSERT_NE(device, nullptr);
    Viewport vp;
    vp.width = 64;
    vp.height = 48;
    device->setViewport(vp);
    ASSERT_EQ(device->clear(kClearTarget | kClearZBuffer, 0xFF004040, 1.0f, 0), kOk);
    host_.present();
    EXPECT_EQ(host_.framesPresented(), 1);

    const std::string png = tempPath("frame.png");
    std::string error;
    ASSERT_TRUE(host_.writeScreenshot(png, error)) << error;
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(png.c_str(), &w, &h, &n, 4);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    int wrong = 0;
    for (int i = 0; i < w * h; ++i)
        if (pixels[i * 4] != 0 || pixels[i * 4 + 1] != 0x40 || pixels[i * 4 + 2] != 0x40 || pixels[i * 4 + 3] != 255) ++wrong;
    EXPECT_EQ(wrong, 0);
    stbi_image_free(pixels);
    fs::remove(png);
}

TEST_F(HeadlessHostTest, ShowsLikeAWindowAndAnswersDialogsFromTheRunner)
{
    EXPECT_TRUE(host_.isActive());
    host_.show();
    host_.post({WM_COMMAND, makeWParam(40007, 0), 0, {}});
    host_.answerNextDialog("/models/kovr.mRef");
    host_.postQuit(0);

    WindowMessage m;
    ASSERT_TRUE(host_.peekMessage(m));
    EXPECT_EQ(m.id, WM_SIZE);
    EXPECT_EQ(loWord(m.lParam), 64u);
    EXPECT_EQ(hiWord(m.lParam), 48u);
    ASSERT_TRUE(host_.peekMessage(m));
    EXPECT_EQ(m.id, WM_ACTIVATE);
    EXPECT_NE(loWord(m.wParam), WA_INACTIVE);
    ASSERT_TRUE(host_.peekMessage(m));
    EXPECT_EQ(m.id, WM_COMMAND);
    std::string path;
    ASSERT_TRUE(host_.openFileDialog({"3DS MAX SMD Files(*.mRef)", "*.mRef"}, path));
    EXPECT_EQ(path, "/models/kovr.mRef");
    EXPECT_FALSE(host_.openFileDialog({"3DS MAX SMD Files(*.mRef)", "*.mRef"}, path)) << "no answer left: cancelled";
    ASSERT_TRUE(host_.peekMessage(m));
    EXPECT_EQ(m.id, WM_QUIT);
    EXPECT_FALSE(host_.peekMessage(m));
}

TEST_F(HeadlessHostTest, SurfaceLostHandlerReleasesWhileTheDeviceLives)
{
    Device* device = host_.device();
    const std::uint8_t white[4] = {255, 255, 255, 255};
    Texture* texture = nullptr;
    ASSERT_EQ(device->createTexture(1, 1, white, &texture), kOk);
    int calls = 0;
    host_.setSurfaceLostHandler([&] {
        ++calls;
        ASSERT_EQ(host_.device(), device);
        texture->release();
        EXPECT_EQ(device->liveObjects(), 0);
    });
    host_.destroy();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(host_.device(), nullptr);
    host_.destroy();
    EXPECT_EQ(calls, 1) << "a second destroy has no device to lose";
}

// ---------------------------------------------------------------------------

// One window for the suite: making and showing one costs about a second.
class QtHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!g_display.available) return;
        host_ = std::make_unique<QtHost>();
        if (!host_->create(windowOptions(), error_)) {
            host_.reset();
            return;
        }
        host_->show();
        // Input sent right after a window appears is lost; let it settle.
        startup_ = pumpFor(*host_, 1000);
    }
    static void TearDownTestSuite() { host_.reset(); }

    void SetUp() override
    {
        if (!g_display.available) GTEST_SKIP() << g_display.why;
        if (!host_) GTEST_SKIP() << "no window: " << error_;
        pumpFor(*host_, 20);
    }

    static QWindow& client() { return *host_->clientWindow(); }
    static QMainWindow& window() { return *host_->mainWindow(); }

    static void send(QObject& target, QEvent& event) { QCoreApplication::sendEvent(&target, &event); }

    static bool canSendRealInput() { return g_display.own && haveTool("xdotool"); }

    inline static std::unique_ptr<QtHost> host_;
    inline static std::string error_;
    inline static std::vector<WindowMessage> startup_;
};

TEST_F(QtHostTest, WindowHasTitleIconAndOpensAtItsClientSize)
{
    EXPECT_EQ(window().windowTitle().toStdString(), "[Tavimor] Veskar");
    EXPECT_FALSE(window().windowIcon().isNull());
    EXPECT_EQ(client().size(), QSize(800, 600));
    EXPECT_EQ(host_->clientWidth(), 800);
    EXPECT_EQ(host_->clientHeight(), 600);
    // A sizing border, and the menu bar sits above the client area.
    EXPECT_NE(window().minimumSize(), window().maximumSize());
    const QMenuBar* bar = window().menuBar();
    EXPECT_GT(bar->height(), 0);
    EXPECT_EQ(window().centralWidget()->y(), bar->height());
    EXPECT_EQ(window().height(), bar->height() + 600);
    EXPECT_EQ(window().width(), 800);
    EXPECT_NE(host_->device(), nullptr) << "showing must not take the surface the device was made on";
}

TEST_F(QtHostTest, StartsActiveWithItsSize)
{
    EXPECT_TRUE(host_->isActive());
    const auto sizes = only(startup_, {WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(loWord(sizes.back().lParam), 800u);
    EXPECT_EQ(hiWord(sizes.back().lParam), 600u);
    const auto activations = only(startup_, {WM_ACTIVATE});
    ASSERT_FALSE(activations.empty());
    EXPECT_NE(loWord(activations.back().wParam), WA_INACTIVE);
}

TEST_F(QtHostTest, MenuBarFollowsTheTable)
{
    // Walks the bar in the table's order, depth first.
    std::vector<MenuItem> built;
    std::function<void(const QList<QAction*>&, int)> walk = [&](const QList<QAction*>& actions, int depth) {
        for (QAction* action : actions) {
            if (action->isSeparator()) continue;
            built.push_back({depth, action->text().toStdString(), action->menu() ? 0u : action->data().toUInt()});
            if (action->menu()) walk(action->menu()->actions(), depth + 1);
        }
    };
    walk(window().menuBar()->actions(), 0);
    const auto table = menuTable();
    ASSERT_EQ(built.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(built[i].depth, table[i].depth) << i;
        EXPECT_EQ(built[i].caption, table[i].caption) << i;
        EXPECT_EQ(built[i].command, table[i].command) << i;
    }
}

TEST_F(QtHostTest, MenuActionPostsItsCommand)
{
    QAction* weapon = nullptr;
    for (QAction* top : window().menuBar()->actions())
        if (top->text() == "&Open")
            for (QAction* sub : top->menu()->actions())
                if (sub->text() == "&Weapon_Kovr") weapon = sub->menu()->actions().value(0);
    ASSERT_NE(weapon, nullptr);
    weapon->trigger();
    const auto seen = pumpUntil(*host_, [](const WindowMessage& m) { return m.id == WM_COMMAND; }, 1000);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().id, WM_COMMAND);
    EXPECT_EQ(loWord(seen.back().wParam), 40015u);
    EXPECT_EQ(hiWord(seen.back().wParam), 0u);

    // Items the program changes while it runs: caption, hidden, checked.
    host_->setMenuCaption(40015, "&1 Sword");
    EXPECT_EQ(weapon->text().toStdString(), "&1 Sword");
    EXPECT_TRUE(weapon->isVisible());
    host_->setMenuCaption(40015, "");
    EXPECT_FALSE(weapon->isVisible());
    host_->setMenuCheck(40015, true);
    EXPECT_TRUE(weapon->isChecked());
    host_->setMenuCheck(40015, false);
    EXPECT_FALSE(weapon->isChecked());
    host_->setMenuCaption(40015, "m&Ref");
    EXPECT_TRUE(weapon->isVisible());
}

TEST_F(QtHostTest, KeyEventsBecomeVirtualKeys)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::uint32_t vk;
    };
    const Case cases[] = {
        {Qt::Key_W, Qt::NoModifier, 'W'},          {Qt::Key_A, Qt::ShiftModifier, 'A'},
        {Qt::Key_Space, Qt::NoModifier, VK_SPACE}, {Qt::Key_Escape, Qt::NoModifier, VK_ESCAPE},
        {Qt::Key_8, Qt::KeypadModifier, VK_NUMPAD8}, {Qt::Key_2, Qt::NoModifier, '2'},
    };
    for (const Case& c : cases) {
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
        QKeyEvent release(QEvent::KeyRelease, c.key, c.modifiers);
        send(client(), press);
        send(client(), release);
    }
    // Held W: X repeats press and release; Windows repeats only the press.
    QKeyEvent repeatPress(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier, QString("w"), true);
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_W, Qt::NoModifier, QString("w"), true);
    send(client(), repeatPress);
    send(client(), repeatRelease);

    const auto keys = only(pumpFor(*host_, 50), {WM_KEYDOWN, WM_KEYUP});
    ASSERT_EQ(keys.size(), std::size(cases) * 2 + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(keys[i * 2].id, WM_KEYDOWN) << i;
        EXPECT_EQ(keys[i * 2].wParam, cases[i].vk) << i;
        EXPECT_EQ(keys[i * 2].lParam & kKeyPreviouslyDown, 0) << i;
        EXPECT_EQ(keys[i * 2 + 1].id, WM_KEYUP) << i;
        EXPECT_EQ(keys[i * 2 + 1].wParam, cases[i].vk) << i;
    }
    EXPECT_EQ(keys.back().id, WM_KEYDOWN);
    EXPECT_EQ(keys.back().wParam, static_cast<std::uintptr_t>('W'));
    EXPECT_NE(keys.back().lParam & kKeyPreviouslyDown, 0);

    // Alt+W is a system key: pressing it must not walk the camera.
    QKeyEvent altW(QEvent::KeyPress, Qt::Key_W, Qt::AltModifier);
    send(client(), altW);
    const auto alt = only(pumpFor(*host_, 50), {WM_KEYDOWN, WM_SYSKEYDOWN});
    ASSERT_EQ(alt.size(), 1u);
    EXPECT_EQ(alt[0].id, WM_SYSKEYDOWN);
    EXPECT_NE(alt[0].lParam & kKeyAltDown, 0);
}

TEST_F(QtHostTest, RightDragBecomesMouseMessagesWithClientPositions)
{
    const auto mouse = [](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, client().mapToGlobal(at), button, held, Qt::NoModifier);
        send(client(), event);
    };
    mouse(QEvent::MouseButtonPress, {100, 200}, Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, {130, 180}, Qt::NoButton, Qt::RightButton);
    mouse(QEvent::MouseMove, {-20, 180}, Qt::NoButton, Qt::RightButton);  // outside: no capture
    mouse(QEvent::MouseButtonRelease, {799, 599}, Qt::RightButton, Qt::NoButton);
    // The wheel: the signed distance in the high word, the buttons in the low.
    QWheelEvent wheel({10, 10}, client().mapToGlobal(QPointF(10, 10)), {}, {0, -240}, Qt::LeftButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    send(client(), wheel);

    const auto wheels = only(pumpFor(*host_, 50), {WM_MOUSEWHEEL, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONUP});
    ASSERT_EQ(wheels.size(), 4u);
    EXPECT_EQ(wheels[3].id, WM_MOUSEWHEEL);
    EXPECT_EQ(static_cast<std::int16_t>(hiWord(wheels[3].wParam)), -240);
    EXPECT_EQ(loWord(wheels[3].wParam), MK_LBUTTON);
    const std::vector<WindowMessage> seen(wheels.begin(), wheels.begin() + 3);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].id, WM_RBUTTONDOWN);
    EXPECT_EQ(loWord(seen[0].lParam), 100u);
    EXPECT_EQ(hiWord(seen[0].lParam), 200u);
    EXPECT_EQ(seen[0].wParam, MK_RBUTTON);
    EXPECT_EQ(seen[1].id, WM_MOUSEMOVE);
    EXPECT_EQ(loWord(seen[1].lParam), 130u);
    EXPECT_EQ(hiWord(seen[1].lParam), 180u);
    EXPECT_EQ(seen[1].wParam, MK_RBUTTON);
    EXPECT_EQ(seen[2].id, WM_RBUTTONUP);
    EXPECT_EQ(loWord(seen[2].lParam), 799u);
    EXPECT_EQ(hiWord(seen[2].lParam), 599u);
    EXPECT_EQ(seen[2].wParam, 0u);
}

TEST_F(QtHostTest, CloseButtonAsksTheApplication)
{
    QCloseEvent close;
    send(window(), close);
    EXPECT_FALSE(close.isAccepted());
    const auto seen = pumpUntil(*host_, [](const WindowMessage& m) { return m.id == WM_CLOSE; }, 500);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().id, WM_CLOSE);
    EXPECT_TRUE(window().isVisible());
    EXPECT_NE(host_->device(), nullptr);
}

TEST_F(QtHostTest, DroppedFileBecomesADropMessage)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/data/hero walk.smd")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    send(client(), enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    send(client(), drop);
    const auto drops = only(pumpFor(*host_, 50), {WM_DROPFILES});
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].path, "/data/hero walk.smd");
}

// Clears the client area through the device, presents, and reads the screen
// back; every pixel checked must be the clear colour.
void expectPresentedClear(QtHost& host, int width, int height)
{
    Device* device = host.device();
    ASSERT_NE(device, nullptr);
    Viewport vp;
    vp.width = static_cast<std::uint32_t>(width);
    vp.height = static_cast<std::uint32_t>(height);
    device->setViewport(vp);
    device->clear(kClearTarget | kClearZBuffer, 0xFF004040, 1.0f, 0);
    host.present();
    pumpFor(host, 200);

    const QPoint at = host.clientWindow()->mapToGlobal(QPoint(0, 0));
    const std::string png = tempPath("screen.png");
    ASSERT_TRUE(run("import -window root -crop " + std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(at.x()) +
                    "+" + std::to_string(at.y()) + " " + png));
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(png.c_str(), &w, &h, &n, 3);
    fs::remove(png);
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{width / 2, height / 2}, std::pair{width - 1, 0}, std::pair{0, height - 1},
                               std::pair{width - 1, height - 1}}) {
        const unsigned char* p = pixels + (y * w + x) * 3;
        EXPECT_TRUE(p[0] == 0 && p[1] == 0x40 && p[2] == 0x40)
            << "at " << x << "," << y << ": " << int(p[0]) << " " << int(p[1]) << " " << int(p[2]);
    }
    stbi_image_free(pixels);
}

TEST_F(QtHostTest, PresentedFrameReachesTheScreen)
{
    if (!haveTool("import")) GTEST_SKIP() << "ImageMagick's import is missing";
    expectPresentedClear(*host_, 800, 600);
}

TEST_F(QtHostTest, FitClientResizesReportsAndDrawsAtTheNewSize)
{
    host_->fitClient(640, 480);
    const auto sizes = only(pumpUntil(*host_, [](const WindowMessage& m) { return m.id == WM_SIZE; }), {WM_SIZE});
    // The first frame after a resize must already fill the new size.
    if (haveTool("import")) expectPresentedClear(*host_, 640, 480);
    // The user resizing the window: the client follows it.
    window().resize(900, 700 + window().menuBar()->height());
    const auto user = only(pumpUntil(*host_, [](const WindowMessage& m) { return m.id == WM_SIZE; }), {WM_SIZE});
    host_->fitClient(800, 600);
    pumpUntil(*host_, [](const WindowMessage& m) { return m.id == WM_SIZE; });
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(loWord(sizes[0].lParam), 640u);
    EXPECT_EQ(hiWord(sizes[0].lParam), 480u);
    ASSERT_EQ(user.size(), 1u);
    EXPECT_EQ(loWord(user[0].lParam), 900u);
    EXPECT_EQ(hiWord(user[0].lParam), 700u);
    EXPECT_EQ(client().size(), QSize(800, 600));
    EXPECT_EQ(window().height(), window().menuBar()->height() + 600);
}

TEST_F(QtHostTest, RealKeysThroughTheXServer)
{
    if (!canSendRealInput()) GTEST_SKIP() << "needs xdotool and the test's own X server";
    // NumLock on: keypad 8 lights the light; off: the same key is an arrow.
    ASSERT_TRUE(run("xdotool key w space 2 Num_Lock KP_Up Num_Lock KP_Up"));
    const auto seen = pumpUntil(*host_, [](const WindowMessage& m) { return m.id == WM_KEYUP && m.wParam == VK_UP; });
    std::vector<std::uintptr_t> downs;
    for (const auto& m : only(seen, {WM_KEYDOWN}))
        if (m.wParam != VK_NUMLOCK) downs.push_back(m.wParam);
    EXPECT_EQ(downs, (std::vector<std::uintptr_t>{'W', VK_SPACE, '2', VK_NUMPAD8, VK_UP}));
}

TEST_F(QtHostTest, MenuMnemonicsWorkFromTheClientArea)
{
    if (!canSendRealInput()) GTEST_SKIP() << "needs xdotool and the test's own X server";
    // Open -> SMD -> Ref by the underlined letters. Each key waits for the
    // menu it opens: keys queued before a popup takes the keyboard miss it.
    std::vector<WindowMessage> seen;
    for (const char* keys : {"alt+o", "s", "r"}) {
        ASSERT_TRUE(run(std::string("xdotool key ") + keys));
        const auto some = pumpFor(*host_, 300);
        seen.insert(seen.end(), some.begin(), some.end());
    }
    const auto commands = only(seen, {WM_COMMAND});
    // Alt combinations are system keys, which the window procedure ignores.
    for (const auto& m : only(seen, {WM_KEYDOWN})) EXPECT_NE(m.wParam, static_cast<std::uintptr_t>('O'));
    EXPECT_FALSE(only(seen, {WM_SYSKEYDOWN}).empty());
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(loWord(commands[0].wParam), 40005u);
    // The keyboard comes back to the client area once the menu is gone.
    pumpFor(*host_, 300);
    ASSERT_TRUE(run("xdotool key d"));
    const auto keys = only(pumpUntil(*host_, [](const WindowMessage& m) { return m.id == WM_KEYDOWN; }), {WM_KEYDOWN});
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].wParam, static_cast<std::uintptr_t>('D'));
}

TEST_F(QtHostTest, MessageBoxIsModalWithCaptionTextAndOk)
{
    QString title, text;
    QMessageBox::StandardButtons buttons;
    bool hadParent = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        hadParent = box->parentWidget() != nullptr;
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(20);
    host_->messageShell().messageBox("hero.smd: 잘못된 파일", "Error");
    poll.stop();
    EXPECT_EQ(title.toStdString(), "Error");
    EXPECT_EQ(text.toStdString(), "hero.smd: 잘못된 파일");
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(hadParent);
}

TEST_F(QtHostTest, OpenDialogStartsInTheFolderGivenListsTheFilterInAnyCaseAndKeepsTheWorkingFolder)
{
    const fs::path folder = tempPath("dialog");
    fs::create_directories(folder / "sub");
    for (const char* name : {"hero.smd", "HERO2.SMD", "walk.Smd", "notes.txt", "kovr.mRef"}) std::ofstream(folder / name) << "x";
    const fs::path workingBefore = fs::current_path();

    std::vector<std::string> listed;
    QString shownFilter;
    QString startedIn;
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (ticks++ == 0) {
            startedIn = dialog->directory().absolutePath();
            return;
        }
        // The folder is read on a thread of Qt's; wait for all five entries.
        auto* view = dialog->findChild<QListView*>("listView");
        const QAbstractItemModel* model = view ? view->model() : nullptr;
        const int rows = model ? model->rowCount(view->rootIndex()) : 0;
        if (rows < 4 && ticks < 100) return;
        for (int r = 0; r < rows; ++r) listed.push_back(model->index(r, 0, view->rootIndex()).data().toString().toStdString());
        if (auto* type = dialog->findChild<QComboBox*>("fileTypeCombo")) shownFilter = type->currentText();
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText("hero.smd");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start(20);
    std::string path;
    host_->setDialogFolder(folder.string());
    const bool chosen = host_->openFileDialog({"3DS MAX SMD Files(*.SMD)", "*.SMD"}, path);
    host_->setDialogFolder({});
    poll.stop();

    EXPECT_EQ(startedIn.toStdString(), folder.string());

    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"HERO2.SMD", "hero.smd", "sub", "walk.Smd"}));
    EXPECT_EQ(shownFilter.toStdString(), "3DS MAX SMD Files(*.SMD)");
    EXPECT_TRUE(chosen);
    EXPECT_EQ(fs::path(path), folder / "hero.smd");
    EXPECT_EQ(fs::current_path(), workingBefore);
    fs::remove_all(folder);
}

// A window of its own, since destroying it is part of the test.
TEST(QtHostLifetime, ExposeDrawsAndSurfaceLossComesBeforeTheDeviceGoes)
{
    if (!g_display.available) GTEST_SKIP() << g_display.why;
    QtHost host;
    HostOptions options = windowOptions();
    options.menu.clear();
    options.clientWidth = 320;
    options.clientHeight = 240;
    std::string error;
    ASSERT_TRUE(host.create(options, error)) << error;
    ASSERT_NE(host.device(), nullptr) << "the device exists before the window is shown";
    EXPECT_FALSE(host.mainWindow()->isVisible());

    int exposes = 0;
    host.setExposeHandler([&] {
        ++exposes;
        host.device()->clear(kClearTarget, 0xFF004040, 1.0f, 0);
        host.present();
    });
    Device* device = host.device();
    const std::uint8_t white[4] = {255, 255, 255, 255};
    Texture* texture = nullptr;
    ASSERT_EQ(device->createTexture(1, 1, white, &texture), kOk);
    int lost = 0;
    host.setSurfaceLostHandler([&] {
        ++lost;
        EXPECT_EQ(host.device(), device);
        texture->release();
    });

    host.show();
    pumpFor(host, 300);
    EXPECT_GT(exposes, 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(host.clientWidth(), 320);

    host.destroy();
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(host.device(), nullptr);
    EXPECT_EQ(host.mainWindow(), nullptr);
}

// ---------------------------------------------------------------------------

// Qt wants a private runtime folder and complains without one.
void ensureRuntimeDirectory()
{
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    if (set && *set) return;
    const std::string dir = (fs::temp_directory_path() / ("veskar-runtime-" + std::to_string(::getuid()))).string();
    ::mkdir(dir.c_str(), 0700);
    ::chmod(dir.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

// Starts Xvfb on a display number it picks itself (-displayfd), so parallel
// test runs never collide; the server dies with this process.
pid_t startXvfb(std::string& display)
{
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return -1;
    }
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0) {
        char c = 0;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    display = ":" + number;
    return pid;
}

} // namespace
} // namespace veskar::test

// Qt's D-Bus probe (no session bus here) leaves a buffer in libdbus that is
// none of ours; LeakSanitizer in the sanitizer build reads this list.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

int main(int argc, char** argv)
{
    using namespace veskar::test;
    ::testing::InitGoogleTest(&argc, argv);
    ensureRuntimeDirectory();

    pid_t server = -1;
    std::string display;
    if (haveTool("Xvfb")) server = startXvfb(display);
    if (server > 0) {
        ::setenv("DISPLAY", display.c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        g_display = {true, true, {}};
    } else if (const char* d = std::getenv("DISPLAY"); d && *d) {
        g_display = {true, false, {}};
    } else {
        g_display = {false, false, "no display: Xvfb is not installed and DISPLAY is unset"};
    }

    int qtArgc = 1;
    char name[] = "host_qt_tests";
    char* qtArgv[] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    if (g_display.available) app = std::make_unique<QApplication>(qtArgc, qtArgv);

    const int result = RUN_ALL_TESTS();
    app.reset();
    if (server > 0) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    }
    return result;
}
