#include "base/BlockCompression.h"

#include <algorithm>
#include <cstring>

namespace veskar {

namespace {

struct Rgba {
    std::uint8_t r, g, b, a;
};
static_assert(sizeof(Rgba) == 4, "rows of pixels are copied as bytes");

std::uint32_t read16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }
std::uint32_t read32(const std::uint8_t* p) { return read16(p) | (read16(p + 2) << 16); }

// 5:6:5 to 8 bits a channel, the high bits repeated into the low ones so that
// full intensity stays 255.
Rgba expand565(std::uint32_t c)
{
    const std::uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return {static_cast<std::uint8_t>((r << 3) | (r >> 2)), static_cast<std::uint8_t>((g << 2) | (g >> 4)),
            static_cast<std::uint8_t>((b << 3) | (b >> 2)), 255};
}

// (wa * a + wb * b) / (wa + wb), rounded.
std::uint8_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t wa, std::uint32_t wb)
{
    return static_cast<std::uint8_t>((wa * a + wb * b + (wa + wb) / 2) / (wa + wb));
}

Rgba mix(const Rgba& a, const Rgba& b, std::uint32_t wa, std::uint32_t wb)
{
    return {mix(a.r, b.r, wa, wb), mix(a.g, b.g, wa, wb), mix(a.b, b.b, wa, wb), 255};
}

// The colour half of a block: two 5:6:5 end points and a 2-bit index a pixel.
// BC2 and BC3 always take the four-colour form.
void colourBlock(const std::uint8_t* block, bool fourColoursAlways, Rgba out[16])
{
    const std::uint32_t c0 = read16(block), c1 = read16(block + 2);
    Rgba palette[4] = {expand565(c0), expand565(c1), {}, {}};
    if (c0 > c1 || fourColoursAlways) {
        palette[2] = mix(palette[0], palette[1], 2, 1);
        palette[3] = mix(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = mix(palette[0], palette[1], 1, 1);
        palette[3] = {0, 0, 0, 0};
    }
    const std::uint32_t indices = read32(block + 4);
    for (int i = 0; i < 16; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
}

// BC2: sixteen explicit 4-bit alphas.
void explicitAlpha(const std::uint8_t* block, Rgba out[16])
{
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t nibble = (block[i / 2] >> (4 * (i % 2))) & 15;
        out[i].a = static_cast<std::uint8_t>(nibble * 17);
    }
}

// BC3: two 8-bit end points and a 3-bit index a pixel; with a0 <= a1 the
// last two indices are 0 and 255.
void interpolatedAlpha(const std::uint8_t* block, Rgba out[16])
{
    const std::uint32_t a0 = block[0], a1 = block[1];
    std::uint8_t palette[8] = {static_cast<std::uint8_t>(a0), static_cast<std::uint8_t>(a1)};
    if (a0 > a1) {
        for (std::uint32_t i = 1; i < 7; ++i) palette[i + 1] = mix(a0, a1, 7 - i, i);
    } else {
        for (std::uint32_t i = 1; i < 5; ++i) palette[i + 1] = mix(a0, a1, 5 - i, i);
        palette[6] = 0;
        palette[7] = 255;
    }
    std::uint64_t bits = 0;
    for (int k = 0; k < 6; ++k) bits |= static_cast<std::uint64_t>(block[2 + k]) << (8 * k);
    for (int i = 0; i < 16; ++i) out[i].a = palette[(bits >> (3 * i)) & 7];
}

void decodeBlock(BlockFormat format, const std::uint8_t* block, Rgba out[16])
{
    switch (format) {
    case BlockFormat::Bc1: colourBlock(block, false, out); break;
    case BlockFormat::Bc2:
        colourBlock(block + 8, true, out);
        explicitAlpha(block, out);
        break;
    case BlockFormat::Bc3:
        colourBlock(block + 8, true, out);
        interpolatedAlpha(block, out);
        break;
    }
}

} // namespace

std::uint64_t blockImageBytes(BlockFormat format, int width, int height)
{
    if (width <= 0 || height <= 0) return 0;
    const std::uint64_t across = (static_cast<std::uint64_t>(width) + 3) / 4, down = (static_cast<std::uint64_t>(height) + 3) / 4;
    return across * down * bytesPerBlock(format);
}

void decodeBlocks(BlockFormat format, int width, int height, const std::uint8_t* blocks, std::uint8_t* rgba)
{
    if (width <= 0 || height <= 0) return;
    const int across = (width + 3) / 4, down = (height + 3) / 4;
    const std::size_t stride = bytesPerBlock(format);
    Rgba pixels[16];
    for (int by = 0; by < down; ++by) {
        for (int bx = 0; bx < across; ++bx) {
            decodeBlock(format, blocks + (static_cast<std::size_t>(by) * static_cast<std::size_t>(across) + static_cast<std::size_t>(bx)) * stride, pixels);
            // Blocks on the right and bottom edges reach past the picture.
            const int rows = std::min(4, height - 4 * by), columns = std::min(4, width - 4 * bx);
            for (int y = 0; y < rows; ++y) {
                std::uint8_t* row = rgba + ((static_cast<std::size_t>(4 * by + y) * static_cast<std::size_t>(width)) + static_cast<std::size_t>(4 * bx)) * 4;
                std::memcpy(row, &pixels[4 * y], static_cast<std::size_t>(columns) * 4);
            }
        }
    }
}

} // namespace veskar
