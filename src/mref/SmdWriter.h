#pragma once
// The SMD text the system writes: references and animations written back
// from the engine formats (and glTF), and the sample generator's files. Laid
// out so that the SMD readers take every number back exactly: "%f" floats
// (a float printed so and read again is the same float), nodes numbered in
// order from 0, and a vertex's links as its record holds them.

#include "mref/TextWriter.h"
#include "import/SmdRecords.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace veskar {

// "version 1", and the nodes section opened.
inline TextWriter& putSmdStart(TextWriter& out) { return out.put("version 1\nnodes\n"); }

// Ends the nodes section and opens the skeleton.
inline TextWriter& putSmdSkeletonStart(TextWriter& out) { return out.put("end\nskeleton\n"); }

// A frame block's first line.
inline TextWriter& putSmdTime(TextWriter& out, std::int32_t frame) { return out.put("time ").putInt(frame).put('\n'); }

// A bone line of a frame block: N x y z rx ry rz.
inline TextWriter& putSmdBone(TextWriter& out, std::int32_t number, const float (&pose)[6]) { return putBoneLine(out, number, 0, pose); }

// A name the triangles section would take for its own "end" (the readers
// compare the first word, ignoring case) cannot be a material.
bool endsSmdSection(std::string_view material);

// A vertex line: parent bone, position, normal, u and v as the file holds
// them (v upward: 1 - the drawn v), the link count and the links. A vertex
// without links gets one of weight 0 on its parent: a line without links
// reads back as its parent with weight 1, a link of weight 0 as none.
TextWriter& putSmdVertex(TextWriter& out, std::int32_t parent, const float (&values)[8], std::span<const BoneLink> links);

} // namespace veskar
