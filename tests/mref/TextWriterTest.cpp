// The writer must give exactly what printf gives for the formats' "%d",
// "%3d", "%06d" and "%f" (of floats and of the sample generator's doubles),
// so that outputs stay byte-identical to the straightforward printf path.

#include "mref/TextWriter.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace veskar {
namespace {

std::string printfFloat(float v)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(v));
    return buffer;
}

TEST(TextWriter, FloatsMatchPrintfBitPatternsAcrossTheRange)
{
    std::mt19937 rng(99);
    for (int i = 0; i < 300000; ++i) {
        // Random bit patterns cover every exponent, denormals, NaN and infinity.
        const float v = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
        TextWriter w;
        w.putFloat(v);
        if (std::isnan(v)) {
            EXPECT_TRUE(w.text() == "nan" || w.text() == "-nan") << w.text();
            continue;
        }
        ASSERT_EQ(w.text(), printfFloat(v)) << std::bit_cast<std::uint32_t>(v);
        if (i % 32 != 0) continue;
        const double d = std::bit_cast<double>((static_cast<std::uint64_t>(rng()) << 32) | rng());
        if (std::isnan(d)) continue;
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, "%f", d);
        TextWriter wd;
        wd.putDouble(d);
        ASSERT_EQ(wd.text(), buffer) << std::bit_cast<std::uint64_t>(d);
    }
    // Halfway cases at the sixth decimal and the usual suspects.
    for (float v : {0.0f, -0.0f, 0.5f, 0.0000005f, 0.0000015f, 1.0000005f, 2.5e-7f, -1e-7f, 123456.7890625f, 1e38f,
                    std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::denorm_min()}) {
        TextWriter w;
        w.putFloat(v);
        EXPECT_EQ(w.text(), printfFloat(v));
    }
}

// Exact ties at the sixth decimal (odd multiples of 2^-7 times 10^-6 scale to
// n + 0.5) round to even, as printf rounds them; values in the shapes models
// hold, and many lines into one writer, which must grow without losing text.
TEST(TextWriter, TiesAndLongTextsMatchPrintf)
{
    std::string expected;
    TextWriter all;
    for (int m = -4000; m <= 4000; ++m) {
        const float tie = static_cast<float>(m) / 128.0f;
        std::mt19937 rng(static_cast<unsigned>(m + 5000));
        const float shaped = static_cast<float>(static_cast<int>(rng() % 2000001) - 1000000) / 1000.0f;
        for (float v : {tie, shaped, tie * 1000.0f}) {
            TextWriter w;
            w.putFloat(v);
            ASSERT_EQ(w.text(), printfFloat(v)) << v;
            all.putFloat(v).put(' ');
            expected += printfFloat(v) + " ";
        }
    }
    EXPECT_EQ(all.text(), expected);
    EXPECT_EQ(all.size(), expected.size());

    // A line's numbers at once, one of them too large for the quick way.
    const float line[] = {1.5f, -0.0f, 3e20f, 7.25f, -123456.789f, std::numeric_limits<float>::infinity(), 0.0000005f};
    TextWriter together;
    together.putFloats(line, 7);
    std::string oneByOne;
    for (float v : line) oneByOne.append(" ").append(printfFloat(v));
    EXPECT_EQ(together.text(), oneByOne);

    // The same through the kept text of the line before: zero after minus
    // zero, a large value coming back, the line too large for the quick way.
    const float lines[][6] = {{1.5f, -0.0f, 7.25f, 3e20f, 2.0f, 0.0000005f},
                              {1.5f, 0.0f, 7.25f, 3e20f, 2.5f, 0.0000005f},
                              {std::numeric_limits<float>::infinity(), 0.0f, -7.25f, 3e20f, 2.5f, 0.0f},
                              {1.5f, -0.0f, -7.25f, 4e20f, 2.5f, 0.0000005f}};
    RepeatedFloats kept{};
    TextWriter repeating;
    std::string plain;
    for (const auto& values : lines) {
        repeating.putFloatsRepeating(values, kept).put('\n');
        for (float v : values) plain.append(" ").append(printfFloat(v));
        plain += '\n';
    }
    EXPECT_EQ(repeating.text(), plain);
}

TEST(TextWriter, IntegersMatchPrintf)
{
    for (std::int32_t v : {0, 7, -7, 42, 99, 100, -99, 999, 1000, -1000, 2147483647, -2147483647 - 1}) {
        char d[32], d3[32], z6[32];
        std::snprintf(d, sizeof d, "%d", v);
        std::snprintf(d3, sizeof d3, "%3d", v);
        std::snprintf(z6, sizeof z6, "%06d", v);
        char z3[32];
        std::snprintf(z3, sizeof z3, "%03d", v);
        TextWriter a, b, c, e;
        a.putInt(v);
        b.putInt(v, 3);
        c.putInt(v, 6, '0');
        e.putInt(v, 3, '0');
        EXPECT_EQ(a.text(), d);
        EXPECT_EQ(b.text(), d3);
        EXPECT_EQ(c.text(), z6);
        EXPECT_EQ(e.text(), z3);
    }
}

} // namespace
} // namespace veskar
