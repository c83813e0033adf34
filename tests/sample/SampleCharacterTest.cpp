#include "TestSupport.h"

#include "sample/LargeSmd.h"
#include "sample/SampleCharacter.h"
#include "base/Math.h"

#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace veskar;
using namespace veskar::sample;
namespace fs = std::filesystem;
using test::TempDir;

// Reads back what the generators write, with the scan formats the SMD
// readers use, so a file that parses here parses there.
struct Corner {
    std::string text;
    int parent = -1;
    Vector3 position, normal;
    float u = 0, v = 0;
    int linkCount = 0;
    int bones[16] = {};
    float weights[16] = {};
    std::vector<std::string> weightText;
};

struct Parsed {
    std::string error;
    std::vector<SampleNode> nodes;
    std::vector<std::vector<SampleKey>> frames;
    std::vector<std::string> materials; // one per triangle
    std::vector<std::vector<Corner>> triangles;
    size_t longestLine = 0;
};

Parsed parse(const std::string& text)
{
    Parsed out;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.longestLine = std::max(out.longestLine, line.size());
        lines.push_back(line);
    }
    auto word = [](const std::string& line) {
        char w[80] = "";
        std::sscanf(line.c_str(), "%79s", w);
        return std::string(w);
    };
    if (lines.empty() || lines[0] != "version 1") {
        out.error = "bad header";
        return out;
    }
    size_t i = 1;
    while (i < lines.size()) {
        const std::string section = word(lines[i++]);
        if (section == "nodes") {
            for (; i < lines.size() && word(lines[i]) != "end"; ++i) {
                int index = -1, parent = -2;
                char name[80] = "";
                if (std::sscanf(lines[i].c_str(), "%d \"%79[^\"]\" %d", &index, name, &parent) != 3 || index != static_cast<int>(out.nodes.size())) {
                    out.error = "node line: " + lines[i];
                    return out;
                }
                out.nodes.push_back({name, parent});
            }
        } else if (section == "skeleton") {
            for (; i < lines.size() && word(lines[i]) != "end"; ++i) {
                int frame = -1;
                if (word(lines[i]) == "time") {
                    if (std::sscanf(lines[i].c_str(), "time %d", &frame) != 1 || frame != static_cast<int>(out.frames.size())) {
                        out.error = "time line: " + lines[i];
                        return out;
                    }
                    out.frames.emplace_back();
                    continue;
                }
                SampleKey k;
                int bone = -1;
                if (out.frames.empty() || std::sscanf(lines[i].c_str(), "%d %f %f %f %f %f %f", &bone, &k.x, &k.y, &k.z, &k.rx, &k.ry, &k.rz) != 7 ||
                    bone != static_cast<int>(out.frames.back().size())) {
                    out.error = "bone line: " + lines[i];
                    return out;
                }
                out.frames.back().push_back(k);
            }
        } else if (section == "triangles") {
            while (i < lines.size() && word(lines[i]) != "end") {
                out.materials.push_back(word(lines[i++]));
                std::vector<Corner> corners;
                for (int c = 0; c < 3 && i < lines.size(); ++c, ++i) {
                    Corner k;
                    k.text = lines[i];
                    int used = 0;
                    const char* s = lines[i].c_str();
                    // A line without a link count (the vertex on its parent alone) has no links.
                    const int read = std::sscanf(s, "%d %f %f %f %f %f %f %f %f %d%n", &k.parent, &k.position.x, &k.position.y, &k.position.z,
                                                 &k.normal.x, &k.normal.y, &k.normal.z, &k.u, &k.v, &k.linkCount, &used);
                    if (read == 9) used = static_cast<int>(lines[i].size());
                    if ((read != 10 && read != 9) || k.linkCount < 0 || k.linkCount > 16) {
                        out.error = "vertex line: " + lines[i];
                        return out;
                    }
                    s += used;
                    for (int l = 0; l < k.linkCount; ++l) {
                        char weight[32] = "";
                        if (std::sscanf(s, "%d %31s%n", &k.bones[l], weight, &used) != 2) {
                            out.error = "link: " + lines[i];
                            return out;
                        }
                        k.weights[l] = std::strtof(weight, nullptr);
                        k.weightText.push_back(weight);
                        s += used;
                    }
                    corners.push_back(k);
                }
                out.triangles.push_back(corners);
            }
        }
        if (i < lines.size() && word(lines[i]) == "end") ++i;
    }
    return out;
}

int runCount(const std::vector<std::string>& materials)
{
    int runs = 0;
    for (size_t i = 0; i < materials.size(); ++i) runs += (i == 0 || materials[i] != materials[i - 1]) ? 1 : 0;
    return runs;
}

size_t distinctCorners(const Parsed& p)
{
    std::set<std::string> seen;
    for (const auto& t : p.triangles)
        for (const Corner& c : t) seen.insert(c.text);
    return seen.size();
}

Vector3 sub(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float length(Vector3 a) { return std::sqrt(vec3Dot(a, a)); }

int nodeNamed(const std::vector<SampleNode>& nodes, const std::string& name)
{
    for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i].name == name) return static_cast<int>(i);
    return -1;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---------------------------------------------------------------------------

TEST(SampleKeys, LocalMatrixRoundTripsThroughSkeletonLine)
{
    const float cases[][6] = {
        {0, 0, 0, 0, 0, 0},
        {1, -2, 3, 0.3f, -0.7f, 2.9f},
        {0, 0, 95, 0, 0, -1.5707963f},
        {5, 5, 5, -3.0f, 1.2f, -0.4f},
        {0, 1, 0, 0.4f, 1.5707963f, 0.0f},  // gimbal lock
        {0, 1, 0, -0.8f, -1.5707963f, 0.6f}, // gimbal lock, both angles set
    };
    for (const auto& c : cases) {
        const Matrix local = boneLocalMatrix(c[0], c[1], c[2], c[3], c[4], c[5]);
        const SampleKey k = keyFromLocalMatrix(local);
        const Matrix again = boneLocalMatrix(k.x, k.y, k.z, k.rx, k.ry, k.rz);
        for (int r = 0; r < 4; ++r)
            for (int col = 0; col < 4; ++col) EXPECT_NEAR(again.m[r][col], local.m[r][col], 2e-5f) << "case rx " << c[3] << " ry " << c[4];
    }
}

TEST(SampleHero, SkeletonFollowsBipedNamingAndOrder)
{
    const Parsed hero = parse(formatSmd(buildHero()));
    ASSERT_EQ(hero.error, "");
    ASSERT_FALSE(hero.nodes.empty());
    EXPECT_EQ(hero.nodes[0].name, "Bip01");
    EXPECT_EQ(hero.nodes[0].parent, -1);
    for (const char* name : {"Bip01 Pelvis", "Bip01 Spine", "Bip01 Spine1", "Bip01 Neck", "Bip01 Head", "Bip01 L Clavicle", "Bip01 L UpperArm",
                             "Bip01 L Forearm", "Bip01 L Hand", "Bip01 R Clavicle", "Bip01 R UpperArm", "Bip01 R Forearm", "Bip01 R Hand",
                             "Bip01 L Thigh", "Bip01 L Calf", "Bip01 L Foot", "Bip01 R Thigh", "Bip01 R Calf", "Bip01 R Foot"})
        EXPECT_GE(nodeNamed(hero.nodes, name), 0) << name;
    std::set<std::string> names;
    for (size_t i = 0; i < hero.nodes.size(); ++i) {
        EXPECT_LT(hero.nodes[i].parent, static_cast<int>(i)) << hero.nodes[i].name;
        EXPECT_TRUE(i == 0 || hero.nodes[i].parent >= 0) << "second root " << hero.nodes[i].name;
        EXPECT_TRUE(names.insert(hero.nodes[i].name).second) << "duplicate " << hero.nodes[i].name;
    }
    ASSERT_EQ(hero.frames.size(), 1u);
    ASSERT_EQ(hero.frames[0].size(), hero.nodes.size());

    // Z up, pelvis a little over half his height, left side on +X.
    const std::vector<Matrix> world = composeWorld(hero.nodes, hero.frames[0]);
    EXPECT_NEAR(world[nodeNamed(hero.nodes, "Bip01 Pelvis")].m[3][2], 95.0f * kSampleScale, 5.0f * kSampleScale);
    EXPECT_GT(world[nodeNamed(hero.nodes, "Bip01 L Hand")].m[3][0], 10.0f * kSampleScale);
    EXPECT_LT(world[nodeNamed(hero.nodes, "Bip01 R Hand")].m[3][0], -10.0f * kSampleScale);
    EXPECT_GT(world[nodeNamed(hero.nodes, "Bip01 Head")].m[3][2], world[nodeNamed(hero.nodes, "Bip01 Neck")].m[3][2]);
}

TEST(SampleHero, MeshIsSkinnedWeldableAndInRange)
{
    const Parsed hero = parse(formatSmd(buildHero()));
    ASSERT_EQ(hero.error, "");
    const int nodes = static_cast<int>(hero.nodes.size());
    EXPECT_GE(hero.triangles.size(), 300u);
    EXPECT_LE(hero.triangles.size(), 2000u);

    std::set<std::string> materials(hero.materials.begin(), hero.materials.end());
    EXPECT_GE(materials.size(), 2u);
    EXPECT_EQ(runCount(hero.materials), static_cast<int>(materials.size())) << "each material should be one run";
    EXPECT_TRUE(materials.count("hero_body.png") && materials.count("hero_head.png"));

    int blended = 0;
    float minZ = 1e9f, maxZ = -1e9f;
    for (const auto& t : hero.triangles) {
        ASSERT_EQ(t.size(), 3u);
        for (const Corner& c : t) {
            ASSERT_GE(c.linkCount, 1);
            float sum = 0;
            for (int l = 0; l < c.linkCount; ++l) {
                EXPECT_GE(c.bones[l], 0);
                EXPECT_LT(c.bones[l], nodes);
                EXPECT_GT(c.weights[l], 0.0f);
                sum += c.weights[l];
            }
            EXPECT_NEAR(sum, 1.0f, 1e-5f) << c.text;
            EXPECT_EQ(c.parent, c.bones[0]);
            blended += c.linkCount > 1 ? 1 : 0;
            EXPECT_NEAR(length(c.normal), 1.0f, 1e-4f) << c.text;
            EXPECT_TRUE(c.u >= 0 && c.u <= 1 && c.v >= 0 && c.v <= 1) << c.text;
            minZ = std::min(minZ, c.position.z);
            maxZ = std::max(maxZ, c.position.z);
        }
    }
    EXPECT_GT(blended, 50) << "joints should blend two bones";
    EXPECT_NEAR(minZ, 0.0f, 0.5f) << "feet stand on z = 0";
    EXPECT_NEAR(maxZ, 181.0f * kSampleScale, 1.0f);
    // Shared corners are written with the same text, so welding merges them.
    EXPECT_LT(distinctCorners(hero) * 2, hero.triangles.size() * 3);
    EXPECT_LE(hero.longestLine, 255u);
}

// The viewer's start camera stands at (0, 0, -300) looking along +z with a
// vertical field of view of pi / 4 on an 800 x 600 window; the hero and the
// sword in his hand must be in its first frame whole, with a margin.
TEST(SampleHero, HeroAndSwordFitTheStartCamera)
{
    const float tangent = std::tan(0.785398f / 2.0f) * 0.95f;
    float highest = 0.0f;
    for (const SmdDocument& doc : {buildHero(), buildWeapon()}) {
        const Parsed p = parse(formatSmd(doc));
        for (const auto& t : p.triangles)
            for (const Corner& c : t) {
                // The viewer's axes: (x, y, z) of the file is (-x, z, y).
                const float x = -c.position.x, y = c.position.z, depth = c.position.y + 300.0f;
                EXPECT_LE(std::fabs(y), depth * tangent) << c.text;
                EXPECT_LE(std::fabs(x), depth * tangent * 4.0f / 3.0f) << c.text;
                highest = std::max(highest, y / depth);
            }
    }
    EXPECT_GT(highest, tangent * 0.6f) << "the hero should still fill much of the view";
}

// Groups triangles into parts that share corner positions; within a part the
// normals must point away from its middle, and the winding must agree with
// them.
TEST(SampleHero, NormalsPointOutwardAndMatchWinding)
{
    const Parsed hero = parse(formatSmd(buildHero()));
    ASSERT_EQ(hero.error, "");
    const size_t n = hero.triangles.size();
    std::vector<size_t> parent(n);
    std::iota(parent.begin(), parent.end(), size_t{0});
    auto find = [&](size_t x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    };
    std::map<std::string, size_t> owner;
    for (size_t t = 0; t < n; ++t)
        for (const Corner& c : hero.triangles[t]) {
            char key[96];
            std::snprintf(key, sizeof key, "%.4f %.4f %.4f", c.position.x, c.position.y, c.position.z);
            const auto [it, fresh] = owner.emplace(key, t);
            if (!fresh) parent[find(t)] = find(it->second);
        }
    std::map<size_t, std::pair<Vector3, int>> middles;
    for (size_t t = 0; t < n; ++t) {
        auto& [sum, count] = middles[find(t)];
        for (const Corner& c : hero.triangles[t]) {
            sum = {sum.x + c.position.x, sum.y + c.position.y, sum.z + c.position.z};
            ++count;
        }
    }
    EXPECT_GE(middles.size(), 10u) << "torso, limbs, feet, hands, neck, head, nose";
    for (size_t t = 0; t < n; ++t) {
        const auto& tri = hero.triangles[t];
        const auto& [sum, count] = middles[find(t)];
        const float share = 1.0f / static_cast<float>(count);
        const Vector3 middle{sum.x * share, sum.y * share, sum.z * share};
        const Vector3 face = vec3Cross(sub(tri[1].position, tri[0].position), sub(tri[2].position, tri[0].position));
        Vector3 normals{};
        for (const Corner& c : tri) {
            normals = {normals.x + c.normal.x, normals.y + c.normal.y, normals.z + c.normal.z};
            EXPECT_GT(vec3Dot(c.normal, sub(c.position, middle)), 0.0f) << c.text;
        }
        EXPECT_GT(vec3Dot(face, normals), 0.0f) << "triangle " << t;
    }
}

// The viewer binds a vertex with one position averaged over its links'
// inverse bind matrices; that is only exact when linked bones differ by a
// translation. The hero is built so the rest pose reproduces every vertex.
TEST(SampleHero, AveragedBindPoseReproducesEveryVertex)
{
    const Parsed hero = parse(formatSmd(buildHero()));
    ASSERT_EQ(hero.error, "");
    const std::vector<Matrix> world = composeWorld(hero.nodes, hero.frames[0]);
    std::vector<Matrix> inverse;
    for (const Matrix& w : world) inverse.push_back(matrixInverse(w));
    for (const auto& t : hero.triangles)
        for (const Corner& c : t) {
            Vector3 bind{};
            for (int l = 0; l < c.linkCount; ++l) {
                const Vector3 p = transformPoint(c.position, inverse[c.bones[l]]);
                bind = {bind.x + c.weights[l] * p.x, bind.y + c.weights[l] * p.y, bind.z + c.weights[l] * p.z};
            }
            Vector3 rest{};
            for (int l = 0; l < c.linkCount; ++l) {
                const Vector3 p = transformPoint(bind, world[c.bones[l]]);
                rest = {rest.x + c.weights[l] * p.x, rest.y + c.weights[l] * p.y, rest.z + c.weights[l] * p.z};
            }
            EXPECT_LT(length(sub(rest, c.position)), 1e-3f) << c.text;
        }
}

TEST(SampleWalk, LoopsInPlaceOnTheHeroSkeleton)
{
    const Parsed hero = parse(formatSmd(buildHero()));
    const Parsed walk = parse(formatSmd(buildWalk(32)));
    ASSERT_EQ(walk.error, "");
    EXPECT_TRUE(walk.triangles.empty());
    ASSERT_EQ(walk.nodes.size(), hero.nodes.size());
    for (size_t i = 0; i < hero.nodes.size(); ++i) {
        EXPECT_EQ(walk.nodes[i].name, hero.nodes[i].name);
        EXPECT_EQ(walk.nodes[i].parent, hero.nodes[i].parent);
    }
    ASSERT_GE(walk.frames.size(), 30u);
    for (const auto& frame : walk.frames) ASSERT_EQ(frame.size(), walk.nodes.size());

    const int lFoot = nodeNamed(walk.nodes, "Bip01 L Foot"), rFoot = nodeNamed(walk.nodes, "Bip01 R Foot");
    const int lThigh = nodeNamed(walk.nodes, "Bip01 L Thigh");
    const float bindAnkle = composeWorld(hero.nodes, hero.frames[0])[lFoot].m[3][2];
    float thighMin = 1e9f, thighMax = -1e9f;
    for (const auto& frame : walk.frames) {
        const SampleKey& root = frame[0];
        const SampleKey& first = walk.frames[0][0];
        EXPECT_TRUE(root.x == first.x && root.y == first.y && root.z == first.z && root.rx == first.rx && root.ry == first.ry && root.rz == first.rz)
            << "Bip01 must not move";
        // One foot is always planted at its bind height.
        const std::vector<Matrix> world = composeWorld(walk.nodes, frame);
        EXPECT_NEAR(std::min(world[lFoot].m[3][2], world[rFoot].m[3][2]), bindAnkle, 0.05f);
        thighMin = std::min(thighMin, frame[lThigh].rx);
        thighMax = std::max(thighMax, frame[lThigh].rx);
    }
    EXPECT_GT(thighMax - thighMin, 0.5f) << "the legs swing";

    // Wrapping from the last frame to the first is no bigger a step than any
    // other, so the loop has no jump.
    auto step = [](const SampleKey& a, const SampleKey& b) {
        return std::max({std::fabs(a.x - b.x), std::fabs(a.y - b.y), std::fabs(a.z - b.z), std::fabs(a.rx - b.rx), std::fabs(a.ry - b.ry),
                         std::fabs(a.rz - b.rz)});
    };
    for (size_t bone = 0; bone < walk.nodes.size(); ++bone) {
        float largest = 0;
        for (size_t f = 1; f < walk.frames.size(); ++f) largest = std::max(largest, step(walk.frames[f - 1][bone], walk.frames[f][bone]));
        EXPECT_LE(step(walk.frames.back()[bone], walk.frames.front()[bone]), largest * 1.5f + 1e-5f) << walk.nodes[bone].name;
    }
}

TEST(SampleWeapon, OneRigidBoneWithItsGripInTheLeftHand)
{
    const Parsed weapon = parse(formatSmd(buildWeapon()));
    ASSERT_EQ(weapon.error, "");
    ASSERT_EQ(weapon.nodes.size(), 1u);
    EXPECT_EQ(weapon.nodes[0].parent, -1);
    EXPECT_GE(weapon.triangles.size(), 50u);
    EXPECT_LE(weapon.triangles.size(), 200u);
    EXPECT_EQ(std::set<std::string>(weapon.materials.begin(), weapon.materials.end()), std::set<std::string>{"weapon.png"});
    for (const auto& t : weapon.triangles)
        for (const Corner& c : t) {
            ASSERT_EQ(c.linkCount, 1) << c.text;
            EXPECT_EQ(c.bones[0], 0);
            EXPECT_EQ(c.weightText[0], "1.000000");
        }

    // The viewer carries the weapon by the hand's bind matrix, so the grip
    // (the weapon bone) must lie inside the hero's left hand.
    const Parsed hero = parse(formatSmd(buildHero()));
    const int hand = nodeNamed(hero.nodes, "Bip01 L Hand");
    Vector3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (const auto& t : hero.triangles)
        for (const Corner& c : t)
            if (c.bones[0] == hand) {
                lo = {std::min(lo.x, c.position.x), std::min(lo.y, c.position.y), std::min(lo.z, c.position.z)};
                hi = {std::max(hi.x, c.position.x), std::max(hi.y, c.position.y), std::max(hi.z, c.position.z)};
            }
    const SampleKey grip = weapon.frames.at(0).at(0);
    EXPECT_TRUE(grip.x > lo.x && grip.x < hi.x && grip.y > lo.y && grip.y < hi.y && grip.z > lo.z && grip.z < hi.z)
        << "grip " << grip.x << " " << grip.y << " " << grip.z;
}

TEST(SampleCharacterSet, WritesEveryFileAndDecodableOpaqueTextures)
{
    TempDir temp;
    const fs::path dir = temp.path() / "nested" / "out";
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(writeCharacterSet(dir.string(), written, error)) << error;
    EXPECT_EQ(written.size(), 6u);
    for (const std::string& path : written) EXPECT_TRUE(fs::is_regular_file(path)) << path;

    EXPECT_EQ(readFile(dir / "hero.smd"), formatSmd(buildHero()));
    const Parsed walk = parse(readFile(dir / "walk.smd"));
    EXPECT_EQ(walk.error, "");
    EXPECT_GE(walk.frames.size(), 30u);

    std::set<std::string> textures;
    for (const char* file : {"hero.smd", "weapon.smd"}) {
        const Parsed p = parse(readFile(dir / file));
        textures.insert(p.materials.begin(), p.materials.end());
    }
    EXPECT_GE(textures.size(), 3u);
    for (const std::string& name : textures) {
        int w = 0, h = 0, channels = 0;
        stbi_uc* pixels = stbi_load((dir / name).string().c_str(), &w, &h, &channels, 4);
        ASSERT_NE(pixels, nullptr) << name;
        EXPECT_EQ(w, 128);
        EXPECT_EQ(h, 128);
        std::set<unsigned> colours;
        bool opaque = true;
        for (int i = 0; i < w * h; ++i) {
            opaque = opaque && pixels[i * 4 + 3] == 255;
            colours.insert(pixels[i * 4] << 16 | pixels[i * 4 + 1] << 8 | pixels[i * 4 + 2]);
        }
        stbi_image_free(pixels);
        EXPECT_TRUE(opaque) << name;
        EXPECT_GT(colours.size(), 50u) << name << " looks flat";
    }
}

TEST(SampleCharacterSet, ReportsADirectoryThatCannotBeMade)
{
    TempDir temp;
    std::ofstream(temp.path() / "file") << "x";
    std::vector<std::string> written;
    std::string error;
    EXPECT_FALSE(writeCharacterSet((temp.path() / "file" / "sub").string(), written, error));
    EXPECT_TRUE(written.empty());
    EXPECT_NE(error, "");
}

// ---------------------------------------------------------------------------

TEST(LargeReference, SharesCornersAcrossSeamsAndCreasesWithExactWeights)
{
    TempDir temp;
    const fs::path file = temp.path() / "large.smd";
    LargeReferenceOptions options;
    options.triangles = 2001; // odd: the last quad gives one triangle
    options.bones = 7;
    options.seed = 3;
    std::string error;
    ASSERT_TRUE(writeLargeReference(file.string(), options, error)) << error;
    const Parsed p = parse(readFile(file));
    ASSERT_EQ(p.error, "");
    ASSERT_EQ(p.nodes.size(), 7u);
    EXPECT_EQ(p.nodes[0].name, "Bip01");
    for (size_t i = 1; i < p.nodes.size(); ++i) EXPECT_LT(p.nodes[i].parent, static_cast<int>(i));
    ASSERT_EQ(p.frames.size(), 1u);
    EXPECT_EQ(p.frames[0].size(), 7u);
    ASSERT_EQ(p.triangles.size(), 2001u);

    const std::set<std::string> materials(p.materials.begin(), p.materials.end());
    EXPECT_GE(materials.size(), 2u);
    EXPECT_LE(materials.size(), 3u);
    EXPECT_LE(runCount(p.materials), 6);

    std::set<int> linkCounts;
    std::map<std::string, std::set<std::string>> uvsAt, normalsAt;
    for (const auto& t : p.triangles)
        for (const Corner& c : t) {
            ASSERT_GE(c.linkCount, 1);
            ASSERT_LE(c.linkCount, 4);
            linkCounts.insert(c.linkCount);
            long long micro = 0;
            for (int l = 0; l < c.linkCount; ++l) {
                EXPECT_GE(c.bones[l], 0);
                EXPECT_LT(c.bones[l], 7);
                std::string digits = c.weightText[l];
                digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
                micro += std::stoll(digits);
            }
            EXPECT_EQ(micro, 1000000) << c.text;
            EXPECT_EQ(c.parent, c.bones[0]);
            char pos[96], uv[64], normal[96];
            std::snprintf(pos, sizeof pos, "%f %f %f", c.position.x, c.position.y, c.position.z);
            std::snprintf(uv, sizeof uv, "%f %f", c.u, c.v);
            std::snprintf(normal, sizeof normal, "%f %f %f", c.normal.x, c.normal.y, c.normal.z);
            uvsAt[pos].insert(uv);
            normalsAt[pos].insert(normal);
        }
    EXPECT_EQ(linkCounts, (std::set<int>{1, 2, 3, 4}));
    EXPECT_LT(distinctCorners(p) * 4, p.triangles.size() * 3) << "corners should weld to about a sixth";
    EXPECT_TRUE(std::any_of(uvsAt.begin(), uvsAt.end(), [](const auto& e) { return e.second.size() > 1; })) << "no texture seam";
    EXPECT_TRUE(std::any_of(normalsAt.begin(), normalsAt.end(), [](const auto& e) { return e.second.size() > 1; })) << "no hard edge";
    EXPECT_LE(p.longestLine, 255u);
}

// The benchmark's second layout: the same mesh, corner for corner, as
// another exporter writes it.
TEST(LargeReference, OutsideLayoutIsTheSameMeshWrittenAnotherWay)
{
    TempDir temp;
    LargeReferenceOptions options;
    options.triangles = 2001;
    options.bones = 7;
    options.seed = 3;
    std::string error;
    ASSERT_TRUE(writeLargeReference((temp.path() / "own.smd").string(), options, error)) << error;
    options.outside = true;
    ASSERT_TRUE(writeLargeReference((temp.path() / "outside.smd").string(), options, error)) << error;
    const Parsed own = parse(readFile(temp.path() / "own.smd"));
    const Parsed outside = parse(readFile(temp.path() / "outside.smd"));
    ASSERT_EQ(outside.error, "");
    ASSERT_EQ(outside.triangles.size(), own.triangles.size());
    EXPECT_EQ(std::set<std::string>(outside.materials.begin(), outside.materials.end()).size(), 4u);
    EXPECT_GT(runCount(outside.materials), 100) << "materials change along a row";
    EXPECT_EQ(distinctCorners(outside), distinctCorners(own));
    for (std::size_t t = 0; t < own.triangles.size(); ++t)
        for (int c = 0; c < 3; ++c) {
            const Corner& a = own.triangles[t][static_cast<std::size_t>(c)];
            const Corner& b = outside.triangles[t][static_cast<std::size_t>(c)];
            ASSERT_NEAR(a.position.z, b.position.z, 1e-5f) << b.text;
            ASSERT_NEAR(a.u, b.u, 1e-6f) << b.text;
            std::set<int> ownBones(a.bones, a.bones + a.linkCount), outsideBones(b.bones, b.bones + b.linkCount);
            if (b.linkCount == 0) outsideBones = {b.parent};
            ASSERT_EQ(ownBones, outsideBones) << b.text;
            ASSERT_TRUE(std::is_sorted(b.bones, b.bones + b.linkCount)) << b.text;
        }
}

TEST(LargeReference, SameSeedSameBytesOtherSeedOtherBytes)
{
    TempDir temp;
    auto make = [&](std::uint64_t seed, const char* name) {
        LargeReferenceOptions options;
        options.triangles = 500;
        options.bones = 5;
        options.seed = seed;
        std::string error;
        EXPECT_TRUE(writeLargeReference((temp.path() / name).string(), options, error)) << error;
        return readFile(temp.path() / name);
    };
    const std::string a = make(9, "a.smd"), b = make(9, "b.smd"), c = make(10, "c.smd");
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(LargeReference, RefusesOptionsOutOfRangeAndUnwritablePaths)
{
    TempDir temp;
    std::string error;
    LargeReferenceOptions options;
    options.triangles = 0;
    EXPECT_FALSE(writeLargeReference((temp.path() / "x.smd").string(), options, error));
    EXPECT_NE(error, "");
    options.triangles = 10;
    options.bones = 0;
    error.clear();
    EXPECT_FALSE(writeLargeReference((temp.path() / "x.smd").string(), options, error));
    EXPECT_NE(error, "");
    options.bones = 3;
    error.clear();
    EXPECT_FALSE(writeLargeReference((temp.path() / "missing" / "x.smd").string(), options, error));
    EXPECT_NE(error, "");
}

TEST(LargeAnimation, EveryBoneInEveryFrameOnTheReferenceChain)
{
    TempDir temp;
    LargeAnimationOptions options;
    options.bones = 5;
    options.frames = 40;
    std::string error;
    ASSERT_TRUE(writeLargeAnimation((temp.path() / "a.smd").string(), options, error)) << error;
    LargeReferenceOptions refOptions;
    refOptions.triangles = 100;
    refOptions.bones = 5;
    ASSERT_TRUE(writeLargeReference((temp.path() / "r.smd").string(), refOptions, error)) << error;

    const Parsed anim = parse(readFile(temp.path() / "a.smd"));
    const Parsed ref = parse(readFile(temp.path() / "r.smd"));
    ASSERT_EQ(anim.error, "");
    EXPECT_TRUE(anim.triangles.empty());
    ASSERT_EQ(anim.frames.size(), 40u);
    ASSERT_EQ(anim.nodes.size(), ref.nodes.size());
    for (size_t i = 0; i < ref.nodes.size(); ++i) {
        EXPECT_EQ(anim.nodes[i].name, ref.nodes[i].name);
        EXPECT_EQ(anim.nodes[i].parent, ref.nodes[i].parent);
    }
    float largestStep = 0, travel = 0;
    for (size_t f = 0; f < anim.frames.size(); ++f) {
        ASSERT_EQ(anim.frames[f].size(), 5u);
        if (f == 0) continue;
        for (size_t b = 0; b < 5; ++b) {
            const float d = std::fabs(anim.frames[f][b].rx - anim.frames[f - 1][b].rx);
            largestStep = std::max(largestStep, d);
            travel += d;
        }
    }
    EXPECT_GT(travel, 0.1f) << "the chain moves";
    EXPECT_LT(largestStep, 0.05f) << "and moves smoothly";

    options.frames = 0;
    EXPECT_FALSE(writeLargeAnimation((temp.path() / "b.smd").string(), options, error));
}

} // namespace
