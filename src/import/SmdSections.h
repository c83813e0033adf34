#pragma once
// What the SMD readers share: the header and the counting pass over the
// sections.

#include "import/Diagnostic.h"
#include "import/NodeNumbers.h"
#include "import/TextScan.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veskar {

// The start of a triangle's material line as the counting pass saw it: the
// reading pass may begin there on another thread.
struct TriangleMark {
    std::uint64_t offset = 0;   // bytes from the start of the file
    long line = 0;              // lines before it
    std::int32_t triangle = 0;  // its number among all the file's triangles
};

// One "triangles" section: its whole triangles, and a mark every
// SmdCounts::markSpacing of them.
struct TriangleSection {
    std::int32_t first = 0;
    std::int32_t count = 0;
    std::vector<TriangleMark> marks;
};

struct SmdCounts {
    std::vector<std::int32_t> nodeNumbers;     // the numbers the nodes section's lines begin with, in file order
    NodeNumbers nodes;                         // made from them when the pass ends
    long skeletonLine = 0;                     // the line of the first "skeleton", 0 if none
    std::int32_t frameCount = 0;
    std::int32_t materialCount = 0;
    std::int32_t triangleCount = 0;
    std::vector<std::int32_t> frameNumbers;  // the numbers of the "time" lines, in file order
    long frameLineWithoutNumber = 0;         // line of a "time" without a number, 0 if none
    std::int32_t markSpacing = 0;            // set before counting; 0: no marks
    std::vector<TriangleSection> triangleSections;
    // Set before counting: the pass ends after the first "triangles" line,
    // and trianglesLine gets its number (0 if the file has none).
    bool stopAtTriangles = false;
    long trianglesLine = 0;
};

// Finds the header: comment lines ("//") and blank lines before it are passed
// over. True when it is "version 1" (any case; the number as "%d" reads it).
bool readSmdHeader(LineCursor& cursor, std::string& token, std::int32_t& headerValue);

// The counting pass: node lines and their numbers, "time" lines and triangles; each run of equal
// material names is written into names from the first entry on. False when a
// count outgrows int32 (the file is then described in the diagnostic).
bool countSmdSections(LineCursor& cursor, SmdCounts& counts, std::vector<std::string>& names);

} // namespace veskar
