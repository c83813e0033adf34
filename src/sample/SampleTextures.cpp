// The sample's textures, painted procedurally: the hero's clothes, his face
// and hair, the sword's steel, leather and gold.

#include "sample/SampleCharacter.h"

#include <algorithm>
#include <cmath>

namespace veskar::sample {
namespace {


std::uint32_t noiseAt(int x, int y, std::uint32_t salt)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8da6b343u ^ static_cast<std::uint32_t>(y) * 0xd8163841u ^ salt * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

// Procedural painting: the painter gets u and v (v up, as in the SMD file)
// and the pixel coordinates for grain; alpha is always opaque.
template <typename Painter>
Image paint(int size, Painter painter)
{
    Image image;
    image.width = size;
    image.height = size;
    image.rgba.resize(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size);
            const float v = 1.0f - (static_cast<float>(y) + 0.5f) / static_cast<float>(size);
            float rgb[3] = {0, 0, 0};
            painter(u, v, x, y, rgb);
            const int grain = static_cast<int>(noiseAt(x, y, 7) % 13u) - 6;
            std::uint8_t* px = &image.rgba[(static_cast<size_t>(y) * size + x) * 4];
            for (int c = 0; c < 3; ++c) px[c] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(rgb[c]) + grain, 0, 255));
            px[3] = 255;
        }
    return image;
}


void setColor(float* rgb, float r, float g, float b)
{
    rgb[0] = r;
    rgb[1] = g;
    rgb[2] = b;
}


bool inEllipse(float u, float v, float cu, float cv, float ru, float rv)
{
    const float du = (u - cu) / ru, dv = (v - cv) / rv;
    return du * du + dv * dv <= 1.0f;
}

} // namespace


Image paintBodyTexture(int size)
{
    return paint(size, [](float u, float v, int x, int y, float* rgb) {
        if (v >= 0.52f) {
            // Shirt with stripes, a belt along its hem and an emblem on the chest.
            const bool stripe = std::fmod(v * 40.0f, 1.0f) < 0.2f;
            setColor(rgb, stripe ? 92 : 46, stripe ? 132 : 84, stripe ? 212 : 168);
            if (v < 0.565f) setColor(rgb, 96, 62, 34);
            if (v < 0.565f && std::fabs(u - 0.25f) < 0.035f) setColor(rgb, 224, 184, 64);
            if (inEllipse(u, v, 0.25f, 0.88f, 0.055f, 0.05f)) setColor(rgb, 236, 200, 70);
            if (inEllipse(u, v, 0.25f, 0.88f, 0.025f, 0.022f)) setColor(rgb, 180, 40, 40);
        } else if (v >= 0.13f) {
            // Trousers in a diagonal twill.
            const bool twill = ((x + y) / 2) % 4 == 0;
            setColor(rgb, twill ? 58 : 76, twill ? 62 : 82, twill ? 40 : 54);
        } else {
            // Boots with stitched rows.
            const bool stitch = y % 6 == 0 && x % 4 < 2;
            setColor(rgb, stitch ? 150 : 98, stitch ? 110 : 60, stitch ? 70 : 30);
        }
    });
}


Image paintHeadTexture(int size)
{
    return paint(size, [](float u, float v, int x, int, float* rgb) {
        const float shade = 0.9f + 0.1f * v;
        setColor(rgb, 228 * shade, 186 * shade, 150 * shade);
        const bool back = std::fabs(u - 0.75f) < 0.27f;
        if (v > 0.8f || (back && v > 0.36f)) {
            const bool strand = (x % 5) < 2;
            setColor(rgb, strand ? 78 : 60, strand ? 52 : 38, strand ? 30 : 22);
            return;
        }
        for (float eye : {0.19f, 0.31f}) {
            if (inEllipse(u, v, eye, 0.53f, 0.035f, 0.045f)) setColor(rgb, 245, 245, 240);
            if (inEllipse(u, v, eye, 0.53f, 0.016f, 0.025f)) setColor(rgb, 40, 70, 130);
            if (std::fabs(u - eye) < 0.04f && std::fabs(v - 0.62f) < 0.014f) setColor(rgb, 70, 46, 26);
        }
        if (std::fabs(u - 0.25f) < 0.05f && std::fabs(v - 0.27f) < 0.015f) setColor(rgb, 176, 62, 62);
    });
}


Image paintWeaponTexture(int size)
{
    return paint(size, [](float u, float v, int, int, float* rgb) {
        if (u < 0.5f) {
            // Steel: each of the four facets brightens towards its edge, with
            // a dark fuller down the middle.
            const float facet = std::fmod(u / 0.12f, 1.0f);
            const float edge = std::fabs(facet - 0.5f) * 2.0f;
            const float base = 150 + 70 * edge + 20 * v;
            setColor(rgb, base, base + 6, base + 18);
            if (edge < 0.12f && v < 0.8f) setColor(rgb, 90, 96, 110);
        } else if (u < 0.76f) {
            const bool wrap = std::fmod(u * 10.0f + v * 14.0f, 1.0f) < 0.3f;
            setColor(rgb, wrap ? 70 : 108, wrap ? 40 : 66, wrap ? 22 : 38);
        } else {
            const bool dot = inEllipse(std::fmod(u * 16.0f, 1.0f), std::fmod(v * 16.0f, 1.0f), 0.5f, 0.5f, 0.22f, 0.22f);
            setColor(rgb, dot ? 250 : 206, dot ? 222 : 164, dot ? 120 : 52);
        }
    });
}

} // namespace veskar::sample
