#pragma once
// DDS files made byte by byte as the documented header lays them out, for the
// tests of the readers that take them.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace veskar::test {

struct DdsHeader {
    std::uint32_t width = 4, height = 4, mipCount = 0;
    std::uint32_t formatFlags = 0x4;   // FOURCC
    char fourCc[5] = "DXT1";
    std::uint32_t bitCount = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};
    std::uint32_t caps2 = 0;
    // The DX10 header after it, when fourCc is "DX10".
    std::uint32_t dxgiFormat = 0, dimension = 3, miscFlag = 0, arraySize = 1;
};

inline DdsHeader blockHeader(const char* fourCc, std::uint32_t width, std::uint32_t height)
{
    DdsHeader h;
    h.width = width;
    h.height = height;
    std::memcpy(h.fourCc, fourCc, 4);
    return h;
}

// 0x40 RGB, 0x1 with alpha.
inline DdsHeader rgbHeader(std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a, std::uint32_t width,
                           std::uint32_t height)
{
    DdsHeader h;
    h.width = width;
    h.height = height;
    h.formatFlags = a ? 0x41 : 0x40;
    h.bitCount = bits;
    h.masks[0] = r;
    h.masks[1] = g;
    h.masks[2] = b;
    h.masks[3] = a;
    return h;
}

inline std::string ddsFile(const DdsHeader& h, const std::vector<std::uint8_t>& pixels)
{
    std::string bytes = "DDS ";
    const auto put = [&bytes](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(124);
    put(0x1007 | (h.mipCount ? 0x20000u : 0u));   // caps, height, width, pixel format (and mip count)
    put(h.height);
    put(h.width);
    put(0);
    put(0);
    put(h.mipCount);
    for (int i = 0; i < 11; ++i) put(0);
    put(32);
    put(h.formatFlags);
    bytes.append(h.fourCc, 4);
    put(h.bitCount);
    for (std::uint32_t m : h.masks) put(m);
    put(0x1000);   // a texture
    put(h.caps2);
    for (int i = 0; i < 3; ++i) put(0);
    if (std::string(h.fourCc) == "DX10") {
        for (std::uint32_t v : {h.dxgiFormat, h.dimension, h.miscFlag, h.arraySize, 0u}) put(v);
    }
    bytes.append(pixels.begin(), pixels.end());
    return bytes;
}

// One BC1 block of one 5:6:5 colour.
inline std::vector<std::uint8_t> solidBc1(std::uint16_t colour)
{
    return {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8), static_cast<std::uint8_t>(colour),
            static_cast<std::uint8_t>(colour >> 8), 0, 0, 0, 0};
}

} // namespace veskar::test
