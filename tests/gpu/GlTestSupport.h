#pragma once
// A headless GL context shared by a test suite, a fresh GlDevice per test, and
// pixel helpers. Tests skip when the machine has no surfaceless EGL.

#include "HeadlessGlTest.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veskar::test {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rgba& c)
{
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// A frame read back from the context, rows top to bottom.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;

    Rgba at(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
    }
    // Pixels of the region that differ from the given colour.
    int countNot(Rgba c, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) const
    {
        if (x1 < 0) x1 = width;
        if (y1 < 0) y1 = height;
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (!(at(x, y) == c)) ++n;
        return n;
    }
};

// Vertex of D3DFVF_XYZ | D3DFVF_DIFFUSE.
struct ColourVertex {
    float x, y, z;
    std::uint32_t colour;
};

// Vertex of D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1.
struct MeshVertex {
    float x, y, z, nx, ny, nz, u, v;
};

constexpr std::uint32_t kFvfColour = fvf::kXyz | fvf::kDiffuse;
constexpr std::uint32_t kFvfMesh = 0x112;
constexpr std::uint32_t kFvfSkin = 0x280312;

class GlFixture : public HeadlessGlTest {
protected:
    void SetUp() override
    {
        HeadlessGlTest::SetUp();
        if (!ready()) return;
        Viewport vp;
        vp.width = kSize;
        vp.height = kSize;
        device_->setViewport(vp);
        device_->setRenderState(RenderState::Lighting, 0);
        device_->setRenderState(RenderState::CullMode, kCullNone);
        device_->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
    }

    void TearDown() override
    {
        if (device_) {
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a GL call was refused";
        }
        device_.reset();
    }

    Image frame() const { return {kSize, kSize, context_->readPixels()}; }

    // A textured quad filling clip space from (x0, y0) to (x1, y1), Direct3D
    // texture coordinates with v = 0 at the top.
    static std::vector<MeshVertex> quad(float x0, float y0, float x1, float y1, float z = 0.5f, float nz = -1.0f)
    {
        return {{x0, y1, z, 0, 0, nz, 0, 0}, {x1, y1, z, 0, 0, nz, 1, 0}, {x0, y0, z, 0, 0, nz, 0, 1},
                {x1, y1, z, 0, 0, nz, 1, 0}, {x1, y0, z, 0, 0, nz, 1, 1}, {x0, y0, z, 0, 0, nz, 0, 1}};
    }

    // A texture of four quadrants: red top left, green top right, blue bottom
    // left, white bottom right.
    Texture* quadrantTexture(int size = 4, std::uint8_t alphaLeft = 255, std::uint8_t alphaRight = 255)
    {
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * size * 4);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const bool right = x >= size / 2, bottom = y >= size / 2;
                std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
                p[0] = (!right && !bottom) || (right && bottom) ? 255 : 0;
                p[1] = right ? 255 : 0;
                p[2] = bottom ? 255 : 0;
                p[3] = right ? alphaRight : alphaLeft;
            }
        Texture* t = nullptr;
        EXPECT_EQ(device_->createTexture(size, size, rgba.data(), &t), kOk);
        device_->setSamplerState(0, SamplerState::MinFilter, kTexFilterPoint);
        device_->setSamplerState(0, SamplerState::MagFilter, kTexFilterPoint);
        return t;
    }

    // The quadrant texture drawn over the whole frame, point sampled.
    static void expectQuadrants(const Image& image)
    {
        EXPECT_EQ(image.at(8, 8), (Rgba{255, 0, 0, 255}));
        EXPECT_EQ(image.at(56, 8), (Rgba{0, 255, 0, 255}));
        EXPECT_EQ(image.at(8, 56), (Rgba{0, 0, 255, 255}));
        EXPECT_EQ(image.at(56, 56), (Rgba{255, 255, 255, 255}));
    }
};

} // namespace veskar::test
