#pragma once
// Building a skinned mesh from simple shapes: tubes of elliptic rings (smooth
// or faceted, with flat or pointed caps) and boxes, each corner skinned to one
// or two bones, written into a document's shared vertex table.

#include "base/Math.h"
#include "sample/SampleCharacter.h"

#include <vector>

namespace veskar::sample {

struct Skin {
    int count = 0;
    SampleLink links[kMaxSampleLinks];
};

Skin rigid(int bone);
// The heavier bone goes first: it becomes the vertex's parent bone and the
// one whose matrix turns the normal.
Skin blend(int major, float weight, int minor);

struct UvRect {
    float u0, v0, u1, v1;
};

struct Ring {
    float t;
    float rx, ry;
    Skin skin;
};

enum class Cap { None, Flat, Point };

struct Tube {
    Vector3 origin;
    Vector3 axis;
    Vector3 sideHint;
    int segments = 8;
    bool flat = false;
    UvRect uv{0, 0, 1, 1};
    Cap startCap = Cap::None;
    Cap endCap = Cap::None;
    float tipLength = 0;
    UvRect capUv{0, 0, 1, 1};
    std::vector<Ring> rings;
};

struct Box {
    Vector3 corners[8]; // bit 0, 1, 2 pick the far side along three edges
    Skin skins[8];
    UvRect uv{0, 0, 1, 1};
};

// A box about center with half edges a, b and c, every corner on one skin.
Box makeBox(Vector3 center, Vector3 a, Vector3 b, Vector3 c, const Skin& skin, UvRect uv);

class MeshBuilder {
public:
    explicit MeshBuilder(SmdDocument& document) : doc_(document) {}

    // The material of the triangles that follow; a new name starts a run.
    void setMaterial(const char* name);
    int vertex(Vector3 p, Vector3 n, float u, float v, const Skin& skin);
    // Winding follows the normals so every face is counter-clockwise seen
    // from outside, whatever order the caller walked the corners in.
    void triangle(int a, int b, int c);
    void quad(int a, int b, int c, int d);

    void tube(const Tube& tube);
    void box(const Box& box);

private:
    class TubeFrame;
    void smoothSides(const TubeFrame& frame);
    void facetedSides(const TubeFrame& frame);
    void flatCap(const TubeFrame& frame, int ring, Vector3 normal);
    void pointCap(const TubeFrame& frame);

    SmdDocument& doc_;
    int material_ = 0;
};

} // namespace veskar::sample
