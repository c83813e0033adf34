// The one translation unit that holds stb_truetype's implementation (Windows
// only: Linux renders glyphs with FreeType).
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>
