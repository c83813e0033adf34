// The viewer's pictures through the headless host, with a real exported
// character whose textures are not beside it: framed on opening, drawn grey
// rather than black, and its skeleton over it with B. Skipped where the
// machine has no surfaceless EGL or the corpus is missing.

#include "TestSupport.h"

#include "app/Application.h"
#include "app/MenuCommands.h"
#include "convert/FormatConverter.h"
#include "host/HeadlessHost.h"

#include <cstdlib>
#include <functional>

namespace veskar {
namespace {

struct Pixel {
    int r, g, b;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    Pixel at(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }
    int count(const std::function<bool(Pixel)>& match) const
    {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += match(at(x, y)) ? 1 : 0;
        return n;
    }
};

bool near(int a, int b, int by) { return std::abs(a - b) <= by; }

struct Viewer {
    HeadlessHost host;
    Application app;
    test::Capture capture;
    ~Viewer()
    {
        app.shutdown();
        host.destroy();
    }
    bool start() { return app.run(host, 1) == 0 && host.device() != nullptr; }
    void open(std::uint32_t command, const std::string& path)
    {
        app.answerNextDialog(path);
        app.onCommand(command);
    }
    Picture picture()
    {
        app.renderFrame();
        return {host.clientWidth(), host.clientHeight(), host.context().readPixels()};
    }
};

bool yellow(Pixel p) { return p.r > 200 && p.g > 200 && p.b < 80; }
bool magenta(Pixel p) { return p.r > 200 && p.g < 80 && p.b > 200; }
bool orange(Pixel p) { return p.r > 200 && near(p.g, 128, 40) && p.b < 80; }

TEST(ViewerPictures, ARealCharacterIsFramedDrawnGreyWithoutItsTexturesAndShowsItsSkeleton)
{
    VESKAR_REQUIRE_CORPUS();
    test::TempDir dir;
    const std::string smd = dir.file("barney.smd");
    std::filesystem::copy_file(test::corpusDir() / "hlu_barney_hd_reference.smd", smd);
    FormatConverter converter;
    ASSERT_TRUE(converter.convertReference(smd)) << converter.diagnostic.text();

    Viewer v;
    if (!v.start()) GTEST_SKIP() << "no headless GL";
    v.app.handleMessage(WM_KEYDOWN, VK_F1, 0);   // the overlay out of the way
    v.open(command::kOpenKovr1Ref, dir.file("barney.mRef"));
    const Picture with = v.picture();
    // Clean keeps the camera: what differs is the character.
    v.app.onCommand(command::kClean);
    const Picture without = v.picture();
    int top = with.height, bottom = -1, model = 0, grey = 0;
    long brightness = 0;
    for (int y = 0; y < with.height; ++y)
        for (int x = 0; x < with.width; ++x) {
            const Pixel a = with.at(x, y), b = without.at(x, y);
            if (a.r == b.r && a.g == b.g && a.b == b.b) continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            ++model;
            grey += near(a.r, a.g, 6) && near(a.g, a.b, 6) ? 1 : 0;
            brightness += a.r + a.g + a.b;
        }
    ASSERT_GT(model, 1000);
    const double span = static_cast<double>(bottom - top + 1) / with.height;
    EXPECT_GE(span, 0.3) << "rows " << top << " to " << bottom;
    EXPECT_LE(span, 0.9) << "rows " << top << " to " << bottom;
    EXPECT_GT(grey, model * 9 / 10) << "the missing textures stand in grey";
    EXPECT_GT(brightness / model / 3, 90) << "grey, not black";
    EXPECT_NE(v.capture.console.text.find("[Texture] not found: "), std::string::npos);

    // B: the bones over the engine model and over the SMD model alike, the
    // root and the left hand marked.
    v.app.handleMessage(WM_KEYDOWN, 'B', 0);
    v.open(command::kOpenKovr1Ref, dir.file("barney.mRef"));
    const Picture engine = v.picture();
    v.app.onCommand(command::kClean);
    v.open(command::kOpenSmdRef, smd);
    const Picture smdModel = v.picture();
    for (const Picture* p : {&engine, &smdModel}) {
        EXPECT_GT(p->count(yellow), 200);
        EXPECT_GT(p->count(magenta), 4);
        EXPECT_GT(p->count(orange), 4);
    }
    EXPECT_EQ(without.count(yellow), 0);
}

} // namespace
} // namespace veskar
