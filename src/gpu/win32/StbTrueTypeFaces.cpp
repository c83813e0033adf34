// The Windows half of the font faces: stb_truetype renders, and the files
// come from the fonts folders by name, the way Windows itself would pick
// them: Arial (or Liberation Sans, its metric twin, where Arial is missing)
// for the main face, then Malgun Gothic, NanumGothic and Gulim for what it
// lacks. Glyphs are sized and placed as the FreeType half does, so the
// overlay looks the same on both systems.
//
// A stripped Windows image or a fresh Wine prefix may have no Arial: the main
// face then falls back through the sans serifs Windows and Wine install
// (Segoe UI, Tahoma, Microsoft Sans Serif), then any TrueType file with Latin
// letters in the fonts folders, Wine's own folder among them.

#include <windows.h>

#include <shlobj.h>

#include "gpu/FontFaces.h"

#include "system/win32/WideText.h"

#include <stb/stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace veskar {

namespace {

// A font file larger than this is not a font the overlay wants.
constexpr std::size_t kMaxFontBytes = 64u << 20;

const wchar_t* const kMainRegular[] = {L"arial.ttf", L"LiberationSans-Regular.ttf", L"segoeui.ttf", L"tahoma.ttf", L"micross.ttf"};
// A bold face where there is one, the regular ones after.
const wchar_t* const kMainBold[] = {L"arialbd.ttf", L"LiberationSans-Bold.ttf", L"segoeuib.ttf", L"tahomabd.ttf", L"arial.ttf",
                                    L"LiberationSans-Regular.ttf", L"segoeui.ttf", L"tahoma.ttf", L"micross.ttf"};
const wchar_t* const kKoreanRegular[] = {L"malgun.ttf", L"NanumGothic.ttf", L"gulim.ttc"};
const wchar_t* const kKoreanBold[] = {L"malgunbd.ttf", L"NanumGothicBold.ttf", L"malgun.ttf", L"NanumGothic.ttf", L"gulim.ttc"};

std::uint16_t readU16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
std::uint32_t readU32(const unsigned char* p) { return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3]; }

// A table of the font at fontStart, or null when it is missing or shorter
// than needed.
const unsigned char* findTable(const std::vector<unsigned char>& data, std::uint32_t fontStart, const char* tag, std::size_t needed)
{
    if (fontStart > data.size() || data.size() - fontStart < 12) return nullptr;
    const unsigned char* font = data.data() + fontStart;
    const std::uint32_t tables = readU16(font + 4);
    if (data.size() - fontStart - 12 < std::size_t{tables} * 16) return nullptr;
    for (std::uint32_t i = 0; i < tables; ++i) {
        const unsigned char* record = font + 12 + i * 16;
        if (std::memcmp(record, tag, 4) != 0) continue;
        const std::uint32_t offset = readU32(record + 8), length = readU32(record + 12);
        if (length < needed || offset > data.size() || data.size() - offset < needed) return nullptr;
        return data.data() + offset;
    }
    return nullptr;
}

// Wine keeps its own fonts (Tahoma among them) in its data folder, which it
// names in WINEDATADIR as an NT path (\??\Z:\usr\share\wine).
std::wstring wineFontFolder()
{
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"WINEDATADIR", value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring folder(value, length);
    if (folder.rfind(L"\\??\\", 0) == 0) folder.erase(0, 4);
    return folder + L"\\fonts";
}

// The folders Windows keeps fonts in: the system's, then the user's own
// (fonts installed without administrator rights land there), then Wine's.
std::vector<std::wstring> fontFolders()
{
    std::vector<std::wstring> folders;
    PWSTR path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Fonts, 0, nullptr, &path)) && path) folders.emplace_back(path);
    CoTaskMemFree(path);
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::wstring folder = std::wstring(windows, length) + L"\\Fonts";
        if (folders.empty() || _wcsicmp(folders[0].c_str(), folder.c_str()) != 0) folders.push_back(folder);
    }
    path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)) && path)
        folders.push_back(std::wstring(path) + L"\\Microsoft\\Windows\\Fonts");
    CoTaskMemFree(path);
    const std::wstring wine = wineFontFolder();
    if (!wine.empty()) folders.push_back(wine);
    return folders;
}

bool isFontFile(const std::wstring& name)
{
    const auto dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos) return false;
    const std::wstring extension = name.substr(dot);
    return _wcsicmp(extension.c_str(), L".ttf") == 0 || _wcsicmp(extension.c_str(), L".ttc") == 0 || _wcsicmp(extension.c_str(), L".otf") == 0;
}

// Every font file of a folder, by name, so that the choice is the same on
// every run.
std::vector<std::wstring> fontFilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isFontFile(found.cFileName)) names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
    return names;
}

bool readFile(const std::wstring& path, std::vector<unsigned char>& data)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && static_cast<unsigned long long>(size.QuadPart) <= kMaxFontBytes;
    if (ok) {
        data.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr) && read == data.size();
    }
    CloseHandle(file);
    return ok;
}

struct Face {
    std::vector<unsigned char> data;
    stbtt_fontinfo info{};
    float scale = 0.0f;
    int ascent = 0;
    std::string path;
};

// Sizes a face as the FreeType half does: ascent plus descent as Windows
// measures them (OS/2 usWinAscent and usWinDescent) is the cell height, with
// the em size rounded to 1/64 pixel as FreeType's character size is.
void setCellHeight(Face& face, std::uint32_t fontStart, int cellHeight)
{
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&face.info, &ascent, &descent, &gap);
    descent = -descent;
    if (const unsigned char* os2 = findTable(face.data, fontStart, "OS/2", 78)) {
        const int winAscent = readU16(os2 + 74), winDescent = readU16(os2 + 76);
        if (winAscent + winDescent > 0) {
            ascent = winAscent;
            descent = winDescent;
        }
    }
    const unsigned char* head = findTable(face.data, fontStart, "head", 20);
    const int unitsPerEm = head ? readU16(head + 18) : 0;
    if (ascent + descent <= 0 || unitsPerEm == 0) {
        face.scale = stbtt_ScaleForPixelHeight(&face.info, static_cast<float>(cellHeight));
        face.ascent = cellHeight * 4 / 5;
        return;
    }
    const double em = static_cast<double>(cellHeight) * unitsPerEm / static_cast<double>(ascent + descent);
    face.scale = static_cast<float>(static_cast<double>(std::lround(em * 64.0)) / 64.0 / unitsPerEm);
    face.ascent = static_cast<int>(std::lround(static_cast<double>(cellHeight) * ascent / static_cast<double>(ascent + descent)));
}

// Whether a face draws the overlay's letters: symbol fonts (Marlett,
// Wingdings) map none of them, bitmap-only TrueType files have no outlines.
bool drawsLatin(const stbtt_fontinfo& info)
{
    for (const char c : {'F', 'P', 'S', 'a', 'e', '0'}) {
        const int glyph = stbtt_FindGlyphIndex(&info, c);
        if (glyph == 0 || stbtt_IsGlyphEmpty(&info, glyph)) return false;
    }
    return true;
}

} // namespace

struct FontFaces::Impl {
    // Opens the file as the next face; a main face must draw Latin letters.
    bool openFile(const std::wstring& path, bool main)
    {
        if (opened.count(path)) return false;
        Face face;
        if (!readFile(path, face.data)) return false;
        const int start = stbtt_GetFontOffsetForIndex(face.data.data(), 0);
        if (start < 0 || !stbtt_InitFont(&face.info, face.data.data(), start)) return false;
        if (main && !drawsLatin(face.info)) return false;
        setCellHeight(face, static_cast<std::uint32_t>(start), cellHeight);
        face.path = narrow(path);
        opened.insert(path);
        // The font info points into data; moving a vector keeps its buffer.
        faces.push_back(std::move(face));
        return true;
    }

    // Opens the first of the names found in a fonts folder, starting at
    // *next in the list; *next moves past every name tried.
    template <std::size_t N>
    bool openNext(const wchar_t* const (&names)[N], std::size_t& next, bool main)
    {
        while (next < N) {
            const wchar_t* name = names[next++];
            for (const std::wstring& folder : folders)
                if (openFile(folder + L"\\" + name, main)) return true;
        }
        return false;
    }

    // The first font file of the folders that draws Latin letters.
    bool openAny()
    {
        for (const std::wstring& folder : folders)
            for (const std::wstring& name : fontFilesIn(folder))
                if (openFile(folder + L"\\" + name, true)) return true;
        return false;
    }

    std::vector<std::wstring> folders;
    std::vector<Face> faces;  // faces[0] is the main face
    std::set<std::wstring> opened;
    std::size_t nextKorean = 0;
    int cellHeight = 0;
    bool bold = false;
};

// The same interface over FreeType is posix/FreeTypeFaces.cpp.
FontFaces::FontFaces() : impl_(std::make_unique<Impl>()) {}

FontFaces::~FontFaces() { close(); }

bool FontFaces::open(int cellHeight, bool bold, std::string& error)
{
    close();
    Impl& d = *impl_;
    d.cellHeight = cellHeight;
    d.bold = bold;
    d.folders = fontFolders();
    std::size_t next = 0;
    if ((bold ? d.openNext(kMainBold, next, true) : d.openNext(kMainRegular, next, true)) || d.openAny()) return true;
    error = "no TrueType font with Latin letters in";
    for (std::size_t i = 0; i < d.folders.size(); ++i) error += (i == 0 ? " " : ", ") + narrow(d.folders[i]);
    if (d.folders.empty()) error += " any fonts folder";
    return false;
}

void FontFaces::close()
{
    Impl& d = *impl_;
    d.faces.clear();
    d.opened.clear();
    d.nextKorean = 0;
}

int FontFaces::ascent() const { return impl_->faces.empty() ? 0 : impl_->faces[0].ascent; }

const std::string& FontFaces::mainPath() const
{
    static const std::string none;
    return impl_->faces.empty() ? none : impl_->faces[0].path;
}

int FontFaces::faceFor(char32_t codePoint)
{
    Impl& d = *impl_;
    if (d.faces.empty()) return -1;
    for (std::size_t i = 0; i < d.faces.size(); ++i)
        if (stbtt_FindGlyphIndex(&d.faces[i].info, static_cast<int>(codePoint)) != 0) return static_cast<int>(i);
    // Windows links a Korean font in for Hangul; the next one of the chain
    // that has the code point.
    while (d.bold ? d.openNext(kKoreanBold, d.nextKorean, false) : d.openNext(kKoreanRegular, d.nextKorean, false))
        if (stbtt_FindGlyphIndex(&d.faces.back().info, static_cast<int>(codePoint)) != 0) return static_cast<int>(d.faces.size()) - 1;
    return -1;
}

bool FontFaces::render(int face, char32_t codePoint, GlyphImage& glyph)
{
    Impl& d = *impl_;
    glyph = GlyphImage{};
    if (d.faces.empty() || face >= static_cast<int>(d.faces.size())) return false;
    const Face& f = d.faces[static_cast<std::size_t>(face < 0 ? 0 : face)];
    const int index = face < 0 ? 0 : stbtt_FindGlyphIndex(&f.info, static_cast<int>(codePoint));
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&f.info, index, &advance, &bearing);
    glyph.advance = static_cast<int>(std::lround(advance * f.scale));
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBox(&f.info, index, f.scale, f.scale, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0) return true;
    glyph.width = x1 - x0;
    glyph.height = y1 - y0;
    glyph.left = x0;
    glyph.top = -y0;
    glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height), 0);
    stbtt_MakeGlyphBitmap(&f.info, glyph.coverage.data(), glyph.width, glyph.height, glyph.width, f.scale, f.scale, index);
    return true;
}

} // namespace veskar
