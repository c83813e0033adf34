#include "platform/TextDrawer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

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

// The font file fontconfig picks for a family and weight, optionally one that
// covers a code point; empty when fontconfig has nothing.
bool matchFont(const char* family, bool bold, char32_t mustCover, std::string& path, int& index)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (mustCover) {
        FcCharSet* chars = FcCharSetCreate();
        FcCharSetAddChar(chars, mustCover);
        FcPatternAddCharSet(pattern, FC_CHARSET, chars);
        FcCharSetDestroy(chars);
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found) {
        path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return found;
}

// Sizes a face so that its ascent plus descent, as Windows measures them, is
// the cell height; returns the ascent in pixels.
int setCellHeight(FT_Face face, int cellHeight)
{
    long ascent = face->ascender, descent = -face->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            ascent = os2->usWinAscent;
            descent = os2->usWinDescent;
        }
    }
    if (ascent + descent <= 0 || face->units_per_EM == 0) {
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(cellHeight));
        return cellHeight * 4 / 5;
    }
    const double em = static_cast<double>(cellHeight) * face->units_per_EM / static_cast<double>(ascent + descent);
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64.0)), 72, 72);
    return static_cast<int>(std::lround(static_cast<double>(cellHeight) * ascent / static_cast<double>(ascent + descent)));
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
    bold_ = bold;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        error = "FreeType could not be started";
        release();
        return false;
    }
    library_ = library;
    if (!FcInit()) {
        error = "fontconfig could not be started";
        release();
        return false;
    }
    std::string path;
    int index = 0;
    if (!matchFont("Liberation Sans", bold, 0, path, index)) {
        error = "fontconfig finds no font for Liberation Sans";
        release();
        return false;
    }
    if (!openFace(path, index, error)) {
        release();
        return false;
    }
    fontPath_ = path;
    ascent_ = setCellHeight(faces_[0].face, pixelHeight);

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
    for (Face& f : faces_)
        if (f.face) FT_Done_Face(f.face);
    faces_.clear();
    faceByPath_.clear();
    glyphs_.clear();
    if (library_) FT_Done_FreeType(library_);
    library_ = nullptr;
    device_ = nullptr;
}

bool TextDrawer::openFace(const std::string& path, int index, std::string& error)
{
    FT_Face face = nullptr;
    if (FT_New_Face(library_, path.c_str(), index, &face) != 0) {
        error = path + ": FreeType cannot open the font";
        return false;
    }
    faces_.push_back({face, path});
    faceByPath_[path + "#" + std::to_string(index)] = static_cast<int>(faces_.size()) - 1;
    return true;
}

int TextDrawer::faceFor(char32_t codePoint)
{
    for (std::size_t i = 0; i < faces_.size(); ++i)
        if (FT_Get_Char_Index(faces_[i].face, codePoint) != 0) return static_cast<int>(i);
    // Windows links a Korean font in for Hangul; fontconfig finds one covering
    // the code point, NanumGothic when it is there.
    std::string path;
    int index = 0;
    if (!matchFont("NanumGothic", bold_, codePoint, path, index)) return -1;
    const auto known = faceByPath_.find(path + "#" + std::to_string(index));
    if (known != faceByPath_.end()) return -1;  // already open and it lacks the code point
    std::string error;
    if (!openFace(path, index, error)) return -1;
    const int added = static_cast<int>(faces_.size()) - 1;
    setCellHeight(faces_[static_cast<std::size_t>(added)].face, pixelHeight_);
    return FT_Get_Char_Index(faces_[static_cast<std::size_t>(added)].face, codePoint) != 0 ? added : -1;
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
    FT_Face face = faces_[static_cast<std::size_t>(glyph.face < 0 ? 0 : glyph.face)].face;
    const FT_UInt index = glyph.face < 0 ? 0 : FT_Get_Char_Index(face, codePoint);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
        glyph.width = glyph.height = 0;
        glyph.inAtlas = true;
        return true;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.height = static_cast<int>(bitmap.rows);
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
        const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        std::uint8_t* out = atlas_->rgba.data() + (static_cast<std::size_t>(glyph.atlasY + y) * atlasSize_ + glyph.atlasX) * 4;
        for (int x = 0; x < glyph.width; ++x, out += 4) {
            std::uint8_t coverage = 0;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) coverage = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            else coverage = row[x];
            out[0] = out[1] = out[2] = 255;
            out[3] = coverage;
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
                g.face = faceFor(cp);
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
