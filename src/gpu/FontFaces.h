#pragma once
// Where the overlay's glyphs come from: the platform's font files and
// rasteriser behind one interface. The main face is Arial's metric twin
// (Liberation Sans) or Arial itself; code points it lacks, Hangul above all,
// come from a Korean face found on demand. Linux: FreeType with fontconfig
// (posix/FreeTypeFaces.cpp). Windows: stb_truetype with the fonts folder
// (win32/StbTrueTypeFaces.cpp).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veskar {

// One glyph as coverage, rows top to bottom.
struct GlyphImage {
    int width = 0, height = 0;  // 0 for glyphs without ink, such as the space
    int left = 0, top = 0;      // bitmap offset from the pen; top measured up from the baseline
    int advance = 0;            // whole pixels
    std::vector<std::uint8_t> coverage;  // width * height, 0 to 255
};

class FontFaces {
public:
    FontFaces();
    ~FontFaces();
    FontFaces(const FontFaces&) = delete;
    FontFaces& operator=(const FontFaces&) = delete;

    // Opens the main face, sized so that its cell (ascent plus descent as
    // Windows measures them) is cellHeight pixels; false with the reason.
    bool open(int cellHeight, bool bold, std::string& error);
    void close();

    // Pixels from the cell's top to the baseline.
    int ascent() const;
    // The main face's file.
    const std::string& mainPath() const;
    // The face that has the code point, opening fallbacks as needed; -1 when
    // none has it.
    int faceFor(char32_t codePoint);
    // Renders the code point from that face, or the main face's missing-glyph
    // box when face is -1; false when the face cannot render it.
    bool render(int face, char32_t codePoint, GlyphImage& glyph);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace veskar
