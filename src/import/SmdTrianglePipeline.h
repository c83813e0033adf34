#pragma once
// A reference's triangles read once, in order, straight into a sink: blocks
// are read on the calling thread and handed to the sink on a second one
// while the next blocks are read. Reading the file once saves a pass over
// text that no longer sits in any cache; the sink's work (welding, for a
// converter) is what the second thread takes.

#include "import/NodeNumbers.h"
#include "import/TriangleSink.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

class LineCursor;

struct TrianglePipe {
    std::int32_t blockTriangles = 512;
    bool secondThread = true;  // false: the sink's work on the calling thread
};

// What the pipe gave: the triangles read, and the material names of their
// runs (each run of equal names once, as the counting pass lists them).
struct PipedTriangles {
    std::int32_t count = 0;
    std::vector<std::string> materialRuns;
};

// From the line after "triangles" to the section's "end" (or the end of the
// file), the first triangle numbered 0. False when any line is refused, the
// lines end early, the memory runs out or the sink refuses a block: the sink
// has then taken some blocks and not others, and the caller reads the file
// again the careful way, which gives the refusal.
bool pipeTriangles(LineCursor& cursor, const std::string& file, const NodeNumbers& nodes, TriangleSink& sink, const TrianglePipe& pipe,
                   PipedTriangles& piped);

} // namespace veskar
