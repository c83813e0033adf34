#pragma once
// The arithmetic behind animation and CPU skinning, as free functions over
// arrays the models own. They allocate nothing, keep nothing, and return
// whether their inputs were valid; on bad input they still leave every output
// they touch well defined.

#include "mref/EngineVertex.h"
#include "import/Skeleton.h"
#include "render/SmdModel.h"
#include "base/Math.h"

#include <span>

namespace veskar {

// out[k] = blend x to[k].worldMatrix + (1 - blend) x from[k].worldMatrix,
// entry by entry over all sixteen entries: a linear blend of the two keys,
// not re-orthonormalised. Writes the nodes the three spans have in common;
// false when the two keys differ in size or out has nodes no key reaches
// (those keep their matrices).
bool blendPalette(std::span<const SkeletonNode> from, std::span<const SkeletonNode> to, float blend, std::span<Matrix> out);
// The same into the worldMatrix of a node table (the SMD model keeps its pose
// in its mesh nodes).
bool blendPose(std::span<const SkeletonNode> from, std::span<const SkeletonNode> to, float blend, std::span<SkeletonNode> out);

// For every vertex, from its bindVertex and its first linkCount links:
//   position = sum_j TransformPoint(P, w_j x palette[b_j])
//   normal   = TransformNormal(N, w_0 x palette[b_0])   (first link only, not renormalised)
// A vertex without links lands at the origin with a zero normal. Only
// position, normal, u and v of out are written; weights and bone numbers stay.
// False when out is shorter than in (nothing written), or when a link count
// lies outside 0..16 (clamped) or a link names a bone outside the palette
// (that link is left out).
bool skinVertices(std::span<const EngineVertex> in, std::span<const Matrix> palette, std::span<SkinVertex> out);
// The same from the packed stream the mesh keeps (SkinSource), which is what
// a frame uses: identical results, a sixth of the memory traffic.
bool skinStream(std::span<const SkinSource> in, std::span<const BoneLink> links, std::span<const Matrix> palette, std::span<SkinVertex> out);

// Rigid placement of an attached model: every vertex's bindVertex moved by one
// matrix, normals unweighted, whatever links the vertex has. Writes position,
// normal, u and v. False when out is shorter than in (nothing written).
bool placeAttachedVertices(std::span<const EngineVertex> in, const Matrix& attachMatrix, std::span<SkinVertex> out);

// Moves every vertex's rest copy into the space of the hand bone: bindVertex
// becomes restVertex with position and normal carried by inverse(handMatrix).
// False when the hand matrix cannot be inverted (the identity is used then).
bool bindVerticesToHand(std::span<EngineVertex> vertices, const Matrix& handMatrix);

// SMD skinning, corner by corner: triangle t's corner c goes to out[3t + c],
// from bindVertices[3t + c] and the corner's links in linkPool, with the same
// sums as skinVertices over the nodes' worldMatrix. False when out or
// bindVertices is shorter than three corners a triangle (nothing written), or
// when a corner's links lie outside the pool (the corner gets no links) or
// name a node outside nodes (that link is left out).
bool skinTriangles(std::span<const SmdTriangle> triangles, std::span<const SmdVertex> bindVertices, std::span<const BoneLink> linkPool,
                   std::span<const SkeletonNode> nodes, std::span<SmdVertex> out);

} // namespace veskar
