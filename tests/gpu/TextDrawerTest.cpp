// Overlay text: layout and clipping on the in-memory device, glyphs on the
// GL device.

#include "GlTestSupport.h"

#include "gpu/MemoryDevice.h"
#include "gpu/TextDrawer.h"

#include <algorithm>
#include <cmath>

namespace veskar::test {
namespace {

// The coverage of one quad's atlas region, row by row.
std::vector<int> coverage(const TextDrawer& text, const TextQuad& q)
{
    const Texture* atlas = text.atlas();
    const int x0 = static_cast<int>(std::lround(q.u0 * atlas->width)), x1 = static_cast<int>(std::lround(q.u1 * atlas->width));
    const int y0 = static_cast<int>(std::lround(q.v0 * atlas->height)), y1 = static_cast<int>(std::lround(q.v1 * atlas->height));
    std::vector<int> out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) out.push_back(atlas->rgba[(static_cast<std::size_t>(y) * atlas->width + x) * 4 + 3]);
    return out;
}

class TextLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(text_.create(device_, 20, true, error)) << error;
    }
    void TearDown() override
    {
        text_.release();
        EXPECT_EQ(device_.liveObjects(), 0);
    }
    MemoryDevice device_;
    TextDrawer text_;
};

TEST_F(TextLayoutTest, UsesArialsMetricTwinInBold)
{
    EXPECT_NE(text_.fontPath().find("LiberationSans-Bold"), std::string::npos) << text_.fontPath();
}

TEST_F(TextLayoutTest, TextStartsAtTheTopLeftCornerAndLinesAreOneCellApart)
{
    const Rect rect{10, 30, 400, 80};
    const std::vector<TextQuad> quads = text_.layout("FPS: 60\nF", rect);
    ASSERT_EQ(quads.size(), 7u);  // the space has no ink
    const TextQuad first = quads.front(), last = quads.back();
    EXPECT_GE(first.left, 10.0f);
    EXPECT_LE(first.left, 13.0f);
    // A capital's top sits a little below the cell top, its foot on the baseline.
    EXPECT_GE(first.top, 30.0f);
    EXPECT_LE(first.top, 35.0f);
    EXPECT_GE(first.bottom, 44.0f);
    EXPECT_LE(first.bottom, 47.0f);
    EXPECT_FLOAT_EQ(last.left, first.left);
    EXPECT_FLOAT_EQ(last.top, first.top + 20.0f);
    for (std::size_t i = 1; i + 1 < quads.size(); ++i) EXPECT_GT(quads[i].left, quads[i - 1].left);
}

TEST_F(TextLayoutTest, NothingLeavesTheRectangleAndCutGlyphsKeepTheirTexels)
{
    const Rect wide{10, 30, 400, 50};
    const std::vector<TextQuad> whole = text_.layout("WWW", wide);
    ASSERT_EQ(whole.size(), 3u);
    // Cut through the second W and halfway down.
    const int cutX = static_cast<int>(whole[1].left) + 5;
    const Rect cut{10, 30, cutX, 40};
    const std::vector<TextQuad> clipped = text_.layout("WWW", cut);
    ASSERT_EQ(clipped.size(), 2u);
    for (const TextQuad& q : clipped) {
        EXPECT_GE(q.left, 10.0f);
        EXPECT_GE(q.top, 30.0f);
        EXPECT_LE(q.right, static_cast<float>(cutX));
        EXPECT_LE(q.bottom, 40.0f);
    }
    EXPECT_FLOAT_EQ(clipped[1].right, static_cast<float>(cutX));
    EXPECT_FLOAT_EQ(clipped[0].bottom, 40.0f);
    // The cut glyph shows the same texels as the whole one, just fewer.
    EXPECT_FLOAT_EQ(clipped[1].u0, whole[1].u0);
    EXPECT_FLOAT_EQ(clipped[1].v0, whole[1].v0);
    const float texel = 1.0f / static_cast<float>(text_.atlas()->width);
    EXPECT_NEAR(clipped[1].u1 - clipped[1].u0, 5.0f * texel, texel / 4);

    EXPECT_TRUE(text_.layout("WWW", Rect{10, 30, 10, 50}).empty());
    EXPECT_TRUE(text_.layout("WWW", Rect{10, 30, 400, 30}).empty());
}

TEST_F(TextLayoutTest, HangulComesFromAKoreanFontNotTheMissingGlyphBox)
{
    const Rect rect{0, 0, 200, 20};
    const std::vector<int> ga = coverage(text_, text_.layout("가", rect).at(0));
    const std::vector<int> na = coverage(text_, text_.layout("나", rect).at(0));
    const std::vector<int> missing = coverage(text_, text_.layout("\xEE\x80\x80", rect).at(0));  // U+E000, in no font
    EXPECT_NE(ga, na);
    EXPECT_NE(ga, missing);
    EXPECT_NE(na, missing);
    EXPECT_GT(std::count(ga.begin(), ga.end(), 255), 10);
}

TEST_F(TextLayoutTest, DrawingRecordsTheQuadsAndTheColourOnTheDevice)
{
    EXPECT_EQ(text_.drawText("[광원]X:1.000000", Rect{1, 50, 300, 70}, 0xFF00FFFF), kOk);
    EXPECT_EQ(device_.textDraws, 1);
    EXPECT_EQ(device_.lastTextColour, 0xFF00FFFFu);
    EXPECT_EQ(device_.lastTextQuads.size(), 14u);
    EXPECT_EQ(text_.drawText(nullptr, Rect{1, 50, 300, 70}, 0xFF00FFFF), kOk);
    EXPECT_EQ(device_.textDraws, 1);
}

TEST_F(TextLayoutTest, MalformedUtf8AndAFullAtlasStillLayOut)
{
    EXPECT_EQ(text_.layout("\xFF\xC3(A", Rect{0, 0, 200, 20}).size(), 4u);
    // More distinct syllables than the atlas holds at once.
    std::string many;
    for (char32_t cp = 0xAC00; cp < 0xAC00 + 1500; ++cp) {
        many += static_cast<char>(0xE0 | (cp >> 12));
        many += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        many += static_cast<char>(0x80 | (cp & 0x3F));
    }
    text_.layout(many.c_str(), Rect{0, 0, 1 << 20, 20});
    const std::vector<TextQuad> after = text_.layout("AB", Rect{0, 0, 200, 20});
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NE(coverage(text_, after[0]), coverage(text_, after[1]));
}

class TextDrawerGlTest : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::string error;
        ASSERT_TRUE(text_.create(*device_, 20, true, error)) << error;
    }
    void TearDown() override
    {
        text_.release();
        if (device_) {
            EXPECT_EQ(device_->liveObjects(), 0);
        }
        GlFixture::TearDown();
    }
    TextDrawer text_;
};

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kCyan{0, 255, 255, 255};

TEST_F(TextDrawerGlTest, HangulSyllablesRenderAsDifferentGlyphs)
{
    ASSERT_EQ(text_.drawText("가", Rect{2, 2, 30, 30}, 0xFF00FFFF), kOk);
    ASSERT_EQ(text_.drawText("나", Rect{34, 2, 62, 30}, 0xFF00FFFF), kOk);
    const Image image = frame();
    int solid = 0, differing = 0, inkLeft = 0, inkRight = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 28; ++x) {
            const Rgba a = image.at(2 + x, y), b = image.at(34 + x, y);
            inkLeft += !(a == kBlack);
            inkRight += !(b == kBlack);
            solid += a == kCyan;
            differing += !(a == b);
        }
    EXPECT_GT(inkLeft, 40);
    EXPECT_GT(inkRight, 40);
    EXPECT_GT(solid, 10);  // strokes fully covered show the exact colour
    EXPECT_GT(differing, 20);
}

TEST_F(TextDrawerGlTest, NothingIsDrawnOutsideTheRectangle)
{
    const Rect rect{4, 10, 40, 20};
    ASSERT_EQ(text_.drawText("WWWW WWWW", rect, 0xFFFFFFFF), kOk);
    const Image image = frame();
    int inside = 0, outside = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const bool in = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
            (in ? inside : outside) += !(image.at(x, y) == kBlack);
        }
    EXPECT_GT(inside, 60);
    EXPECT_EQ(outside, 0);
}

TEST_F(TextDrawerGlTest, TheCallersStatesStayInForceAfterText)
{
    // Wireframe, depth and the alpha test set by the caller; text between two
    // draws of the same triangle must not change what the second draw does.
    const ColourVertex tri[3] = {{-0.9f, 0.9f, 0.5f, 0xFFFFFFFF}, {0.9f, 0.9f, 0.5f, 0xFFFFFFFF}, {-0.9f, -0.9f, 0.5f, 0xFFFFFFFF}};
    device_->setRenderState(RenderState::FillMode, kFillWireframe);
    device_->setFVF(kFvfColour);
    device_->drawPrimitiveUP(PrimitiveType::TriangleList, 1, tri, sizeof(ColourVertex));
    const int before = frame().countNot(kBlack);
    device_->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
    text_.drawText("AB", Rect{40, 44, 64, 64}, 0xFFFF0000);
    device_->drawPrimitiveUP(PrimitiveType::TriangleList, 1, tri, sizeof(ColourVertex));
    const Image image = frame();
    int white = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) white += image.at(x, y) == Rgba{255, 255, 255, 255};
    EXPECT_EQ(white, before);
    EXPECT_EQ(device_->renderState(RenderState::FillMode), kFillWireframe);
}

} // namespace
} // namespace veskar::test
