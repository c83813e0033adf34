#pragma once
// Overlay text in the manner of a D3DX font: Arial or its metric twin
// Liberation Sans of a given cell height, glyphs rasterised by the platform's
// font faces (FontFaces.h) into an atlas texture on the device, and code
// points that face lacks (Hangul) taken from a Korean font.

#include "gpu/Device.h"
#include "gpu/FontFaces.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace veskar {

// Pixels of the render target: left and top inside, right and bottom outside.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class TextDrawer {
public:
    TextDrawer() = default;
    ~TextDrawer();
    TextDrawer(const TextDrawer&) = delete;
    TextDrawer& operator=(const TextDrawer&) = delete;

    // pixelHeight is the cell height (ascent plus descent), as a Windows font
    // height; bold picks the bold face. False with the reason when no font or
    // the atlas texture can be had.
    bool create(Device& device, int pixelHeight, bool bold, std::string& error);
    void release();

    // Draws UTF-8 text from the rectangle's top-left corner; '\n' starts a new
    // line one cell lower and nothing outside the rectangle is drawn.
    Result drawText(const char* utf8, const Rect& rect, std::uint32_t argbColour);
    // The quads drawText would hand the device.
    const std::vector<TextQuad>& layout(const char* utf8, const Rect& rect);

    int pixelHeight() const { return pixelHeight_; }
    const std::string& fontPath() const { return faces_.mainPath(); }
    const Texture* atlas() const { return atlas_; }

private:
    struct Glyph {
        int face = -1;       // the FontFaces face, -1 when no font has it
        int atlasX = 0, atlasY = 0, width = 0, height = 0;
        int left = 0, top = 0;  // bitmap offset from the pen, top measured up from the baseline
        int advance = 0;
        bool inAtlas = false;
    };
    bool rasterise(char32_t codePoint, Glyph& glyph);
    bool prepareGlyphs(const char* utf8);
    void resetAtlas();

    Device* device_ = nullptr;
    Texture* atlas_ = nullptr;
    FontFaces faces_;
    std::unordered_map<char32_t, Glyph> glyphs_;
    std::vector<TextQuad> quads_;
    int pixelHeight_ = 0;
    int ascent_ = 0;
    int atlasSize_ = 512;
    int shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
    bool atlasDirty_ = false;
};

} // namespace veskar
