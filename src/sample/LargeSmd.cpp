#include "sample/LargeSmd.h"

#include "sample/LineTable.h"
#include "mref/TextWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

namespace veskar::sample {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kHeight = 240.0;
constexpr int kMicro = 1'000'000; // weights are written in millionths
constexpr int kMaxLinks = 4;
constexpr int kMaxBands = 6;
const char* const kMaterials[] = {"large_stone.png", "large_metal.png", "large_cloth.png"};
const char* const kOutsideMaterials[] = {"body/Skin_D.tga", "body/Cloth_D.tga", "body/Metal_D.tga", "body/Leather_D.tga"};

// splitmix64: small, fast, and the same on every platform, unlike rand().
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// A value in [0, 1) that depends only on the seed and the key, so a grid
// point gets the same jitter whichever band or seam copy asks for it.
double unit(std::uint64_t seed, std::uint64_t key) { return static_cast<double>(mix(mix(seed) ^ key) >> 11) * 0x1.0p-53; }

// Writes path atomically; error names the file when that fails.
template <typename Write>
bool writeSmd(const std::string& path, std::string& error, Write&& write)
{
    std::string reason;
    if (writeTextFile(path, reason, write)) return true;
    error = "cannot write " + path + ": " + reason;
    return false;
}

double chainStep(int bones) { return bones > 1 ? kHeight / (bones - 1) : 0.0; }

// "Bip01" so the viewer finds a root; the rest hang from it in one chain.
void writeNodesAndBindPose(TextWriter& out, int bones, bool withSkeleton)
{
    out.put("version 1\nnodes\n");
    out.put("0 \"Bip01\" -1\n");
    for (int i = 1; i < bones; ++i) out.putInt(i).put(" \"Bone").putInt(i, 3, '0').put("\" ").putInt(i - 1).put('\n');
    out.put("end\n");
    if (!withSkeleton) return;
    out.put("skeleton\ntime 0\n");
    for (int i = 0; i < bones; ++i) {
        const double pose[6] = {0.0, 0.0, i == 0 ? 0.0 : chainStep(bones), 0.0, 0.0, 0.0};
        putBoneLine(out, i, 0, pose);
    }
    out.put("end\n");
}

struct Links {
    int count = 0;
    int bones[kMaxLinks] = {};
    int micro[kMaxLinks] = {};
};

// The nearest bones along the chain, nearest first, weighted by closeness.
// Weights are whole millionths that add up to exactly one, so the "%f" text
// sums to 1.000000.
Links linksAt(double z, int count, int bones)
{
    Links links;
    const double step = chainStep(bones);
    const double t = step > 0 ? z / step : 0.0;
    const int base = std::clamp(static_cast<int>(std::floor(t)), 0, bones - 1);
    int candidates[2 * kMaxLinks];
    int found = 0;
    for (int d = 0; d < kMaxLinks && found < 2 * kMaxLinks; ++d) {
        for (int k : {base - d, base + 1 + d})
            if (k >= 0 && k < bones) candidates[found++] = k;
    }
    std::stable_sort(candidates, candidates + found, [t](int a, int b) { return std::fabs(t - a) < std::fabs(t - b); });
    links.count = std::min({count, found, kMaxLinks});
    double raw[kMaxLinks];
    double total = 0;
    for (int i = 0; i < links.count; ++i) {
        links.bones[i] = candidates[i];
        raw[i] = 1.0 / (0.3 + std::fabs(t - candidates[i]));
        total += raw[i];
    }
    int given = 0;
    for (int i = 0; i + 1 < links.count; ++i) {
        links.micro[i] = std::max(1, static_cast<int>(raw[i] / total * kMicro));
        given += links.micro[i];
    }
    links.micro[links.count - 1] = kMicro - given;
    return links;
}

// The shortest decimal that reads back as the float, never with an exponent.
void putShortest(TextWriter& out, double value)
{
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, static_cast<float>(value), std::chars_format::fixed);
    out.put(std::string_view(text, static_cast<std::size_t>(r.ptr - text)));
}

// One vertex line in the layout asked for.
void putLargeVertex(TextWriter& line, bool outside, const double (&values)[8], const Links& links)
{
    if (!outside) {
        putVertexStart(line, links.bones[0], values, links.count);
        for (int k = 0; k < links.count; ++k)
            line.put(' ').putInt(links.bones[k]).put(' ').putInt(links.micro[k] / kMicro).put('.').putInt(links.micro[k] % kMicro, 6, '0');
        return;
    }
    // By bone number (at most four: an insertion sort).
    int order[kMaxLinks] = {0, 1, 2, 3};
    for (int k = 1; k < links.count; ++k)
        for (int j = k; j > 0 && links.bones[order[j]] < links.bones[order[j - 1]]; --j) std::swap(order[j], order[j - 1]);
    line.putInt(links.bones[order[0]]);
    for (int i = 0; i < 8; ++i) {
        line.put(i == 0 || i == 3 || i == 6 ? "  " : " ");
        putShortest(line, values[i]);
    }
    if (links.count == 1) return;  // on its parent alone
    line.put("  ").putInt(links.count);
    for (int k = 0; k < links.count; ++k) {
        line.put(' ').putInt(links.bones[order[k]]).put(' ');
        putShortest(line, static_cast<double>(links.micro[order[k]]) / kMicro);
    }
}

// A closed tube made of stacked frustums, cut into bands of rows; each band
// has its own slope and material.
struct BandedTube {
    int cols = 0, rows = 0, bands = 0, materials = 0;
    std::vector<int> bandStart;         // first row of each band, then rows
    std::vector<double> borderRadius;   // at each band border
    std::vector<size_t> bandBase;       // first vertex line of each band
    size_t vertexCount = 0;
    int linkShift = 0;
    double rowHeight = 0;
};

BandedTube layTube(long long triangles, std::uint64_t seed)
{
    BandedTube tube;
    // Quads come out about square: the circumference is roughly 0.63 of the height.
    const long long quads = (triangles + 1) / 2;
    tube.cols = std::max(3, static_cast<int>(std::lround(std::sqrt(static_cast<double>(quads) * 0.63))));
    tube.rows = static_cast<int>((quads + tube.cols - 1) / tube.cols);
    tube.bands = std::min(kMaxBands, tube.rows);
    tube.materials = std::min(3, tube.bands);
    tube.bandStart.resize(static_cast<size_t>(tube.bands) + 1);
    for (int b = 0; b <= tube.bands; ++b) tube.bandStart[b] = static_cast<int>(static_cast<long long>(b) * tube.rows / tube.bands);

    // Radii at the band borders zig-zag, so neighbouring bands always slope
    // differently and every border is a hard edge.
    tube.borderRadius.resize(static_cast<size_t>(tube.bands) + 1);
    for (int b = 0; b <= tube.bands; ++b) tube.borderRadius[b] = 20.0 + ((b % 2) ? 3.0 : -3.0) + 2.0 * unit(seed, 0x100000u + b);
    tube.linkShift = static_cast<int>(unit(seed, 0x200000u) * 4.0);
    tube.rowHeight = kHeight / tube.rows;

    // The border lines exist once per band (different normals); the last
    // column repeats the first with u = 1 (a texture seam).
    tube.bandBase.resize(static_cast<size_t>(tube.bands) + 1);
    for (int b = 0; b < tube.bands; ++b) {
        tube.bandBase[b] = tube.vertexCount;
        tube.vertexCount += static_cast<size_t>(tube.bandStart[b + 1] - tube.bandStart[b] + 1) * (tube.cols + 1);
    }
    return tube;
}

// Vertex lines, formatted once per grid point of each band.
void formatTubeVertices(const BandedTube& tube, const LargeReferenceOptions& options, LineTable& table)
{
    const std::uint64_t seed = options.seed;
    const int cols = tube.cols;
    table.reserve(tube.vertexCount * 140, tube.vertexCount);
    for (int b = 0; b < tube.bands; ++b) {
        const double r0 = tube.borderRadius[b], r1 = tube.borderRadius[b + 1];
        const double z0 = tube.bandStart[b] * tube.rowHeight, z1 = tube.bandStart[b + 1] * tube.rowHeight;
        const double slopeLength = std::hypot(z1 - z0, r0 - r1);
        const double nRadial = (z1 - z0) / slopeLength, nUp = (r0 - r1) / slopeLength;
        for (int ln = tube.bandStart[b]; ln <= tube.bandStart[b + 1]; ++ln) {
            const double z = ln * tube.rowHeight;
            const double along = z1 > z0 ? (z - z0) / (z1 - z0) : 0.0;
            const double radius = r0 + (r1 - r0) * along;
            for (int c = 0; c <= cols; ++c) {
                const int column = c % cols;
                const double angle = 2.0 * kPi * column / cols;
                const double bump = 0.3 * (unit(seed, (static_cast<std::uint64_t>(ln) << 32) | static_cast<std::uint32_t>(column)) - 0.5);
                const double x = (radius + bump) * std::cos(angle), y = (radius + bump) * std::sin(angle);
                const int region = (column * 4 / cols + b + tube.linkShift) % 4;
                const Links links = linksAt(z, options.links > 0 ? options.links : region + 1, options.bones);
                const double values[8] = {x, y, z, nRadial * std::cos(angle), nRadial * std::sin(angle), nUp, static_cast<double>(c) / cols,
                                          static_cast<double>(ln) / tube.rows};
                putLargeVertex(table.writer(), options.outside, values, links);
                table.endLine();
            }
        }
    }
}

// The first `triangles` triangles of the tube, band by band: a band's
// material, or in the outside layout one of four by the quad's quarter of the
// way round.
void putTubeTriangles(TextWriter& out, const BandedTube& tube, const LineTable& table, long long triangles, bool outside)
{
    const int cols = tube.cols;
    long long emitted = 0;
    for (int b = 0; b < tube.bands && emitted < triangles; ++b) {
        std::string material = kMaterials[b % tube.materials];
        material += '\n';
        std::string regions[4];
        for (int q = 0; q < 4; ++q) regions[q] = std::string(kOutsideMaterials[(q + b) % 4]) + '\n';
        for (int r = tube.bandStart[b]; r < tube.bandStart[b + 1] && emitted < triangles; ++r) {
            const size_t row = tube.bandBase[b] + static_cast<size_t>(r - tube.bandStart[b]) * (cols + 1);
            const size_t next = row + cols + 1;
            for (int c = 0; c < cols && emitted < triangles; ++c) {
                // Counter-clockwise seen from outside: around, then up.
                const size_t quad[4] = {row + c, row + c + 1, next + c + 1, next + c};
                const size_t corners[2][3] = {{quad[0], quad[1], quad[2]}, {quad[0], quad[2], quad[3]}};
                for (int t = 0; t < 2 && emitted < triangles; ++t, ++emitted) {
                    out.put(outside ? regions[c * 4 / cols] : material);
                    for (size_t id : corners[t]) out.put(table[id]);
                }
                out.spill();
            }
        }
    }
}

} // namespace

bool writeLargeReference(const std::string& path, const LargeReferenceOptions& options, std::string& error)
{
    if (options.triangles < 1 || options.triangles > kMaxLargeTriangles) {
        error = "--triangles must lie between 1 and " + std::to_string(kMaxLargeTriangles);
        return false;
    }
    if (options.bones < 1 || options.bones > kMaxLargeBones) {
        error = "--bones must lie between 1 and " + std::to_string(kMaxLargeBones);
        return false;
    }
    const BandedTube tube = layTube(options.triangles, options.seed);
    LineTable table;
    formatTubeVertices(tube, options, table);
    return writeSmd(path, error, [&](TextWriter& out) {
        writeNodesAndBindPose(out, options.bones, true);
        out.put("triangles\n");
        putTubeTriangles(out, tube, table, options.triangles, options.outside);
        out.put("end\n");
    });
}

bool writeLargeAnimation(const std::string& path, const LargeAnimationOptions& options, std::string& error)
{
    if (options.bones < 1 || options.bones > kMaxLargeBones) {
        error = "--bones must lie between 1 and " + std::to_string(kMaxLargeBones);
        return false;
    }
    if (options.frames < 1 || static_cast<long long>(options.frames) * options.bones > kMaxLargeBoneKeys) {
        error = "--frames must be at least 1 and bones x frames at most " + std::to_string(kMaxLargeBoneKeys);
        return false;
    }
    return writeSmd(path, error, [&](TextWriter& out) {
        writeNodesAndBindPose(out, options.bones, false);
        out.put("skeleton\n");
        const double step = chainStep(options.bones);
        for (int f = 0; f < options.frames; ++f) {
            out.put("time ").putInt(f).put('\n');
            // Slow waves with different periods travel down the chain.
            for (int i = 0; i < options.bones; ++i) {
                const double rx = 0.25 * std::sin(2.0 * kPi * f / 120.0 + 0.4 * i);
                const double ry = 0.15 * std::sin(2.0 * kPi * f / 90.0 + 0.7 * i);
                const double rz = 0.20 * std::cos(2.0 * kPi * f / 150.0 + 0.3 * i);
                const double pose[6] = {0.0, 0.0, i == 0 ? 0.0 : step, rx, ry, rz};
                putBoneLine(out, i, 0, pose);
            }
            out.spill();
        }
        out.put("end\n");
    });
}

} // namespace veskar::sample
