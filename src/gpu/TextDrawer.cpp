#include "gpu/TextDrawer.h"

#include <algorithm>

namespace veskar {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One code point from UTF-8; malformed bytes become U+FFFD one byte at a time.
char32_t nextCodePoint(const unsigned char*& p)
{
    const unsigned char c = *p;
    int length = 0;
    char32_t cp = 0;
    if (c < 0x80) {
        ++p;
        return c;
    } else if ((c & 0xE0) == 0xC0) {
        length = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        cp = c & 0x07;
    } else {
        ++p;
        return kReplacement;
    }
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            ++p;
            return kReplacement;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++p;
        return kReplacement;
    }
    p += length;
    return cp;
}

} // namespace

TextDrawer::~TextDrawer() { release(); }

bool TextDrawer::create(Device& device, int pixelHeight, bool bold, std::string& error)
{
    release();
    if (pixelHeight <= 0) {
        error = "the font height must be positive";
        return false;
    }
    device_ = &device;
    pixelHeight_ = pixelHeight;
    // Room for a line's glyphs at any height: 512 pixels a side at the
    // overlay's 20 (a display at 100 %), more for larger text.
    atlasSize_ = std::clamp((512 * pixelHeight + 19) / 20, 512, 4096);
    if (!faces_.open(pixelHeight, bold, error)) {
        release();
        return false;
    }
    ascent_ = faces_.ascent();

    std::vector<std::uint8_t> clear(static_cast<std::size_t>(atlasSize_) * atlasSize_ * 4, 0);
    if (failed(device.createTexture(atlasSize_, atlasSize_, clear.data(), &atlas_))) {
        error = "the glyph atlas texture could not be created";
        release();
        return false;
    }
    resetAtlas();
    return true;
}

void TextDrawer::release()
{
    if (atlas_) atlas_->release();
    atlas_ = nullptr;
    faces_.close();
    glyphs_.clear();
    device_ = nullptr;
}

void TextDrawer::resetAtlas()
{
    for (auto& entry : glyphs_) entry.second.inAtlas = false;
    shelfX_ = shelfY_ = shelfHeight_ = 0;
    if (atlas_) std::fill(atlas_->rgba.begin(), atlas_->rgba.end(), std::uint8_t{0});
    atlasDirty_ = true;
}

// Renders the glyph and packs it into the atlas; false when the atlas is full.
bool TextDrawer::rasterise(char32_t codePoint, Glyph& glyph)
{
    // A code point no font has shows the main face's missing-glyph box.
    GlyphImage image;
    if (!faces_.render(glyph.face, codePoint, image)) {
        glyph.width = glyph.height = 0;
        glyph.inAtlas = true;
        return true;
    }
    glyph.advance = image.advance;
    glyph.left = image.left;
    glyph.top = image.top;
    glyph.width = image.width;
    glyph.height = image.height;
    if (glyph.width == 0 || glyph.height == 0) {
        glyph.inAtlas = true;
        return true;
    }
    // Shelves, one pixel apart so neighbours never bleed in.
    if (shelfX_ + glyph.width + 1 > atlasSize_) {
        shelfY_ += shelfHeight_ + 1;
        shelfX_ = 0;
        shelfHeight_ = 0;
    }
    if (glyph.width + 1 > atlasSize_ || shelfY_ + glyph.height + 1 > atlasSize_) return false;
    glyph.atlasX = shelfX_ + 1;
    glyph.atlasY = shelfY_ + 1;
    shelfX_ += glyph.width + 1;
    shelfHeight_ = std::max(shelfHeight_, glyph.height);
    for (int y = 0; y < glyph.height; ++y) {
        const std::uint8_t* row = image.coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(glyph.width);
        std::uint8_t* out = atlas_->rgba.data() + (static_cast<std::size_t>(glyph.atlasY + y) * atlasSize_ + glyph.atlasX) * 4;
        for (int x = 0; x < glyph.width; ++x, out += 4) {
            out[0] = out[1] = out[2] = 255;
            out[3] = row[x];
        }
    }
    glyph.inAtlas = true;
    atlasDirty_ = true;
    return true;
}

// Puts every glyph of the text into the atlas, starting the atlas afresh once
// when it runs out of room.
bool TextDrawer::prepareGlyphs(const char* utf8)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool full = false;
        for (const auto* p = reinterpret_cast<const unsigned char*>(utf8); *p && !full;) {
            const char32_t cp = nextCodePoint(p);
            if (cp == '\n' || cp == '\r') continue;
            auto found = glyphs_.find(cp);
            if (found == glyphs_.end()) {
                Glyph g;
                g.face = faces_.faceFor(cp);
                found = glyphs_.emplace(cp, g).first;
            }
            if (!found->second.inAtlas && !rasterise(cp, found->second)) full = true;
        }
        if (!full) return true;
        resetAtlas();
    }
    return false;
}

const std::vector<TextQuad>& TextDrawer::layout(const char* utf8, const Rect& rect)
{
    quads_.clear();
    if (!utf8 || !atlas_ || rect.right <= rect.left || rect.bottom <= rect.top) return quads_;
    prepareGlyphs(utf8);
    const float scale = 1.0f / static_cast<float>(atlasSize_);
    int penX = rect.left;
    int lineTop = rect.top;
    for (const auto* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
        const char32_t cp = nextCodePoint(p);
        if (cp == '\r') continue;
        if (cp == '\n') {
            penX = rect.left;
            lineTop += pixelHeight_;
            continue;
        }
        const auto found = glyphs_.find(cp);
        if (found == glyphs_.end()) continue;
        const Glyph& g = found->second;
        const int x0 = penX + g.left;
        const int y0 = lineTop + ascent_ - g.top;
        penX += g.advance;
        if (!g.inAtlas || g.width == 0) continue;
        const int cx0 = std::max(x0, rect.left), cy0 = std::max(y0, rect.top);
        const int cx1 = std::min(x0 + g.width, rect.right), cy1 = std::min(y0 + g.height, rect.bottom);
        if (cx0 >= cx1 || cy0 >= cy1) continue;
        TextQuad q;
        q.left = static_cast<float>(cx0);
        q.top = static_cast<float>(cy0);
        q.right = static_cast<float>(cx1);
        q.bottom = static_cast<float>(cy1);
        q.u0 = static_cast<float>(g.atlasX + cx0 - x0) * scale;
        q.v0 = static_cast<float>(g.atlasY + cy0 - y0) * scale;
        q.u1 = static_cast<float>(g.atlasX + cx1 - x0) * scale;
        q.v1 = static_cast<float>(g.atlasY + cy1 - y0) * scale;
        quads_.push_back(q);
    }
    return quads_;
}

Result TextDrawer::drawText(const char* utf8, const Rect& rect, std::uint32_t argbColour)
{
    if (!device_ || !atlas_) return kInvalidCall;
    if (!utf8) return kOk;
    layout(utf8, rect);
    if (atlasDirty_) {
        device_->uploadTexture(*atlas_);
        atlasDirty_ = false;
    }
    if (quads_.empty()) return kOk;
    return device_->drawTextQuads(*atlas_, quads_.data(), quads_.size(), argbColour);
}

} // namespace veskar
