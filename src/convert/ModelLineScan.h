#pragma once
// A model file walked line by line after its reader has taken it, handing on
// what each line holds with its line number: for telling a user where in
// their file something is, which the readers' records no longer know.

#include "mref/EngineRecords.h"
#include "import/LineCursor.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace veskar {

// line is 0 for a file without lines (glTF); where then says what it is.
struct ScannedNode {
    long line = 0;
    std::int32_t place = 0;   // the node's number in the records
    std::string_view name;
    std::string_view where;
};

// A vertex line: an SMD triangle's corner, or an mRef's vertex.
struct ScannedVertex {
    long line = 0;
    std::int32_t parent = 0;
    const float* position = nullptr;
    std::span<const BoneLink> links;   // as the reader takes them: no links is the parent with weight 1
    std::int32_t vertex = 0;           // its welded number
    bool firstUse = false;             // the first line of that welded vertex
    std::size_t length = 0;            // of the line, in bytes
    std::string_view where;
};

class ModelLineVisitor {
public:
    virtual ~ModelLineVisitor() = default;
    virtual void node(const ScannedNode&) {}
    // The first use of each material name.
    virtual void material(long, std::string_view, std::string_view = {}) {}
    virtual void triangle(long, std::string_view = {}) {}
    virtual void vertex(const ScannedVertex&) {}
    // A frame block's "time" line and the number on it.
    virtual void frame(long, std::int32_t, std::string_view = {}) {}
};

// welded: the vertex numbers welding gave the reference's corners, three a
// triangle in file order.
void scanSmdReference(LineCursor& cursor, std::span<const TriangleIndices> welded, ModelLineVisitor& visit);
void scanSmdAnimation(LineCursor& cursor, ModelLineVisitor& visit);
// mesh: the records the mRef reader made of the file.
void scanMRef(LineCursor& cursor, const EngineMesh& mesh, std::string_view texture, ModelLineVisitor& visit);
void scanMAni(LineCursor& cursor, std::int32_t nodeCount, ModelLineVisitor& visit);

} // namespace veskar
