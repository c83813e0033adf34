// The Linux half of the font faces: FreeType renders, fontconfig finds the
// files (Liberation Sans for the main face, a Korean face for what it lacks,
// NanumGothic first). Where Liberation Sans is missing or will not open, the
// main face is the next font fontconfig ranks for it that draws Latin
// letters.

#include "gpu/FontFaces.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace veskar {

namespace {

// The font file fontconfig picks for a family and weight, optionally one that
// covers a code point; false when fontconfig has nothing.
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

// The fonts fontconfig ranks for a family, best first, as file and index.
std::vector<std::pair<std::string, int>> rankedFonts(const char* family, bool bold)
{
    std::vector<std::pair<std::string, int>> ranked;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!fonts) return ranked;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) continue;
        if (FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        ranked.emplace_back(reinterpret_cast<const char*>(file), index);
    }
    FcFontSetDestroy(fonts);
    return ranked;
}

// Whether a face draws the overlay's letters (symbol fonts map none).
bool drawsLatin(FT_Face face)
{
    for (const char c : {'F', 'P', 'S', 'a', 'e', '0'})
        if (FT_Get_Char_Index(face, static_cast<FT_ULong>(c)) == 0) return false;
    return true;
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

struct FontFaces::Impl {
    bool openFace(const std::string& path, int index, std::string& error)
    {
        FT_Face face = nullptr;
        if (FT_New_Face(library, path.c_str(), index, &face) != 0) {
            error = path + ": FreeType cannot open the font";
            return false;
        }
        faces.push_back(face);
        faceByPath[path + "#" + std::to_string(index)] = static_cast<int>(faces.size()) - 1;
        return true;
    }

    FT_Library library = nullptr;
    std::vector<FT_Face> faces;  // faces[0] is the main face
    std::unordered_map<std::string, int> faceByPath;
    std::string mainPath;
    int cellHeight = 0;
    int ascent = 0;
    bool bold = false;
};

// The same interface over stb_truetype is win32/StbTrueTypeFaces.cpp.
FontFaces::FontFaces() : impl_(std::make_unique<Impl>()) {}

FontFaces::~FontFaces() { close(); }

bool FontFaces::open(int cellHeight, bool bold, std::string& error)
{
    close();
    Impl& d = *impl_;
    d.cellHeight = cellHeight;
    d.bold = bold;
    if (FT_Init_FreeType(&d.library) != 0) {
        d.library = nullptr;
        error = "FreeType could not be started";
        return false;
    }
    if (!FcInit()) {
        error = "fontconfig could not be started";
        close();
        return false;
    }
    for (const auto& [path, index] : rankedFonts("Liberation Sans", bold)) {
        if (!d.openFace(path, index, error)) continue;
        if (!drawsLatin(d.faces.back())) {
            FT_Done_Face(d.faces.back());
            d.faces.pop_back();
            d.faceByPath.clear();
            continue;
        }
        d.mainPath = path;
        d.ascent = setCellHeight(d.faces[0], cellHeight);
        return true;
    }
    error = "fontconfig finds no font with Latin letters that FreeType opens";
    close();
    return false;
}

void FontFaces::close()
{
    Impl& d = *impl_;
    for (FT_Face face : d.faces) FT_Done_Face(face);
    d.faces.clear();
    d.faceByPath.clear();
    if (d.library) FT_Done_FreeType(d.library);
    d.library = nullptr;
    d.mainPath.clear();
}

int FontFaces::ascent() const { return impl_->ascent; }

const std::string& FontFaces::mainPath() const { return impl_->mainPath; }

int FontFaces::faceFor(char32_t codePoint)
{
    Impl& d = *impl_;
    if (d.faces.empty()) return -1;
    for (std::size_t i = 0; i < d.faces.size(); ++i)
        if (FT_Get_Char_Index(d.faces[i], codePoint) != 0) return static_cast<int>(i);
    // Windows links a Korean font in for Hangul; fontconfig finds one covering
    // the code point, NanumGothic when it is there.
    std::string path;
    int index = 0;
    if (!matchFont("NanumGothic", d.bold, codePoint, path, index)) return -1;
    if (d.faceByPath.count(path + "#" + std::to_string(index))) return -1;  // already open and it lacks the code point
    std::string error;
    if (!d.openFace(path, index, error)) return -1;
    FT_Face added = d.faces.back();
    setCellHeight(added, d.cellHeight);
    return FT_Get_Char_Index(added, codePoint) != 0 ? static_cast<int>(d.faces.size()) - 1 : -1;
}

bool FontFaces::render(int face, char32_t codePoint, GlyphImage& glyph)
{
    Impl& d = *impl_;
    glyph = GlyphImage{};
    if (d.faces.empty() || face >= static_cast<int>(d.faces.size())) return false;
    FT_Face f = d.faces[static_cast<std::size_t>(face < 0 ? 0 : face)];
    const FT_UInt index = face < 0 ? 0 : FT_Get_Char_Index(f, codePoint);
    if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0 || FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_GlyphSlot slot = f->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.height = static_cast<int>(bitmap.rows);
    if (glyph.width == 0 || glyph.height == 0) {
        glyph.width = glyph.height = 0;
        return true;
    }
    glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height));
    for (int y = 0; y < glyph.height; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        std::uint8_t* out = glyph.coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(glyph.width);
        for (int x = 0; x < glyph.width; ++x)
            out[x] = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0) : row[x];
    }
    return true;
}

} // namespace veskar
