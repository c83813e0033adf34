#pragma once
// The sample content that ships with the viewer: a skinned biped hero, a
// treadmill walk for it, a one-bone sword, and their procedural textures.
// Everything is built in memory first so it can be checked without a disk.

#include "base/Math.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veskar::sample {

struct SampleNode {
    std::string name;
    int parent = -1;
};

// One skeleton line: local position, then the X, Y, Z rotation angles.
struct SampleKey {
    float x = 0, y = 0, z = 0, rx = 0, ry = 0, rz = 0;
};

struct SampleLink {
    int bone = 0;
    float weight = 0;
};

constexpr int kMaxSampleLinks = 4;

struct SampleVertex {
    Vector3 position;
    Vector3 normal;
    float u = 0, v = 0;
    int linkCount = 0;
    SampleLink links[kMaxSampleLinks];
};

struct SampleTriangle {
    int material = 0;
    int corners[3] = {0, 0, 0};
};

// A reference file has one frame and triangles; an animation has many frames
// and none. Triangles index a shared vertex table so that a corner used by
// several triangles is written with the same text every time.
struct SmdDocument {
    std::vector<SampleNode> nodes;
    std::vector<std::vector<SampleKey>> frames;
    std::vector<std::string> materials;
    std::vector<SampleVertex> vertices;
    std::vector<SampleTriangle> triangles;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// The hero is built in centimetres (181 tall) and written at this many units
// a centimetre, so that all of him, sword included, is in the viewer's start
// camera (which sees about 124 units above and below the origin).
constexpr float kSampleScale = 0.6f;

// Names of the hero's bones, in file order; parents come first.
const std::vector<SampleNode>& heroNodes();

SmdDocument buildHero();
SmdDocument buildWalk(int frameCount);
SmdDocument buildWeapon();

// The skeleton line that reproduces a local matrix through
// boneLocalMatrix(x, y, z, rx, ry, rz).
SampleKey keyFromLocalMatrix(const Matrix& local);

// World matrices of one frame, composed the way the readers compose them.
std::vector<Matrix> composeWorld(const std::vector<SampleNode>& nodes, const std::vector<SampleKey>& frame);

std::string formatSmd(const SmdDocument& document);

Image paintBodyTexture(int size);
Image paintHeadTexture(int size);
Image paintWeaponTexture(int size);

// Both write atomically: a file appears whole or not at all.
bool writeFile(const std::string& path, std::string_view bytes, std::string& error);
bool writePng(const std::string& path, const Image& image, std::string& error);

// Writes hero.smd, walk.smd, weapon.smd and their textures into directory,
// creating it when needed; written receives every path in order.
bool writeCharacterSet(const std::string& directory, std::vector<std::string>& written, std::string& error);

} // namespace veskar::sample
