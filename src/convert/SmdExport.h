#pragma once
// Engine files back to SMD, for editing again in a modelling program: an mRef
// becomes an SMD reference, an mAni an SMD animation. Converting the SMD
// again gives the mRef or mAni it came from, byte for byte: the triangles
// are written in order with their welded vertices, which welding numbers in
// order of first use again.

#include "mref/EngineVertex.h"
#include "import/AnimationKeys.h"
#include "import/Diagnostic.h"
#include "import/Skeleton.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veskar {

struct SmdReferenceSource {
    std::span<const SkeletonNode> nodes;           // the bind pose
    std::span<const EngineVertex> vertices;        // restVertex as the file holds it (v drawn downward)
    std::span<const TriangleIndices> triangles;
    std::span<const std::string> materials;
    // One entry a triangle into materials; empty: every triangle has the first.
    std::span<const std::int32_t> triangleMaterials;
};

// Writes path atomically; false with a reason when a triangle names a vertex
// or material that is not there, a material would end the triangles section,
// or the file could not be written (the target is then untouched).
bool writeSmdReference(const std::string& path, const SmdReferenceSource& source, std::string& reason);
// Every frame of animation, frame numbers from 0, the nodes of its first frame.
bool writeSmdAnimation(const std::string& path, const SkeletonAnimation& animation, std::string& reason);
bool writeSmdAnimation(const std::string& path, const AnimationKeys& keys, std::string& reason);

// Reads source (an mRef or mAni, told by its content) and writes its SMD at
// output. False with why: the diagnostic, and the system's own message when
// the source was refused by its reader.
bool exportSmd(const std::string& source, const std::string& output, Diagnostic& diagnostic, const char*& message);

} // namespace veskar
