#include "convert/LimitChecker.h"

#include "convert/CornerWelder.h"
#include "convert/FormatConverter.h"
#include "import/TextScan.h"
#include "base/PrintableName.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace veskar {

namespace {

// Of a kind found on many lines, this many are listed; one line counts the rest.
constexpr std::int64_t kListed = 10;

// The Half-Life SDK: engine/studio.h and utils/studiomdl (studiomdl.h, studiomdl.c).
constexpr EngineLimitTable kGoldSrc{
    .who = "GoldSrc's studiomdl",
    // studiomdl.h sizes its node tables by MAXSTUDIOSRCBONES (512, engine/studio.h).
    .nodes = 512,
    .nodesWhy = "MAXSTUDIOSRCBONES, engine/studio.h",
    // MAXSTUDIOBONES is 128 (engine/studio.h); studiomdl.c refuses a model whose
    // used bones reach it.
    .bones = 127,
    .bonesByVertices = true,
    .bonesWhy = "MAXSTUDIOBONES 128, engine/studio.h",
    // mstudiobone_t's name[32] (engine/studio.h): longer names are cut.
    .nameLength = 31,
    .nameWhy = "mstudiobone_t name[32], engine/studio.h",
    // s_vertex_t holds one bone (studiomdl.h); the triangle reader takes the
    // nine fields before the links.
    .links = 0,
    .linksWhy = "s_vertex_t holds one bone, utils/studiomdl/studiomdl.h",
    // MAXSTUDIOVERTS 2048 (engine/studio.h); lookup_vertex (studiomdl.c) tells
    // vertices apart by bone and position cut to hundredths. It cuts in the
    // bone's space, here the file's: near the limit the counts can differ.
    .vertices = 2048,
    .verticesByBonePosition = true,
    .verticesWhy = "MAXSTUDIOVERTS, engine/studio.h",
    .triangles = 20000,
    .trianglesWhy = "MAXSTUDIOTRIANGLES, engine/studio.h",
    .materials = 100,
    .materialsWhy = "MAXSTUDIOSKINS, engine/studio.h",
    .materialLength = 63,
    .materialLengthWhy = "mstudiotexture_t name[64], engine/studio.h",
    .extension = ".bmp",
    .extensionWhy = "Grab_Skin, utils/studiomdl/studiomdl.c",
    // MAXSTUDIOANIMATIONS 512 "per sequence" (engine/studio.h); later frames are dropped.
    .frames = 512,
    .framesWhy = "MAXSTUDIOANIMATIONS, engine/studio.h",
    .lineLength = 0,
    .lineLengthWhy = nullptr,
};

// The Source SDK: public/studio.h and utils/studiomdl/studiomdl.h.
constexpr EngineLimitTable kSource{
    .who = "Source's studiomdl",
    .nodes = 512,
    .nodesWhy = "MAXSTUDIOSRCBONES, utils/studiomdl/studiomdl.h",
    // MAXSTUDIOBONES 128 "total bones actually used" (public/studio.h); a
    // model that reaches it is refused.
    .bones = 127,
    .bonesByVertices = true,
    .bonesWhy = "MAXSTUDIOBONES 128, public/studio.h",
    // MAXSTUDIONAME 128 sizes s_node_t's name (studiomdl.h).
    .nameLength = 127,
    .nameWhy = "MAXSTUDIONAME 128, utils/studiomdl/studiomdl.h",
    // MAX_NUM_BONES_PER_VERT 3 (public/studio.h), MAXSTUDIOBONEWEIGHTS 3
    // (studiomdl.h): the heaviest three are kept.
    .links = 3,
    .linksWhy = "MAX_NUM_BONES_PER_VERT, public/studio.h",
    .vertices = 65536,
    .verticesByBonePosition = false,
    .verticesWhy = "MAXSTUDIOVERTS, public/studio.h",
    .triangles = 65536,
    .trianglesWhy = "MAXSTUDIOTRIANGLES, public/studio.h",
    .materials = 32,
    .materialsWhy = "MAXSTUDIOSKINS, public/studio.h",
    // s_texture_t's name[MAX_PATH] (studiomdl.h), 260 on Windows.
    .materialLength = 259,
    .materialLengthWhy = "s_texture_t name[MAX_PATH], utils/studiomdl/studiomdl.h",
    .extension = nullptr,
    .extensionWhy = nullptr,
    .frames = 2000,
    .framesWhy = "MAXSTUDIOANIMFRAMES, utils/studiomdl/studiomdl.h",
    .lineLength = 0,
    .lineLengthWhy = nullptr,
};

// This system's engine: names and the texture pass through 80-byte fields,
// lines through a 256-byte one, and a vertex holds 16 links.
constexpr EngineLimitTable kMRef{
    .who = "the engine",
    .nodes = 0,
    .nodesWhy = nullptr,
    .bones = 0,
    .bonesByVertices = false,
    .bonesWhy = nullptr,
    .nameLength = 79,
    .nameWhy = "names pass through an 80-byte field",
    .links = kMaxLinks,
    .linksWhy = "a vertex record's link table",
    .vertices = 0,
    .verticesByBonePosition = false,
    .verticesWhy = nullptr,
    .triangles = 0,
    .trianglesWhy = nullptr,
    .materials = 1,
    .materialsWhy = "an mRef names one texture",
    .materialLength = 79,
    .materialLengthWhy = "the texture name passes through an 80-byte field",
    .extension = nullptr,
    .extensionWhy = nullptr,
    .frames = 0,
    .framesWhy = nullptr,
    .lineLength = 255,
    .lineLengthWhy = "lines pass through a 256-byte buffer",
};

std::string quoted(std::string_view name)
{
    std::string text(1, '"');
    text += printableName(std::string(name));
    text += '"';
    return text;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && equalsIgnoringCase(text.substr(text.size() - end.size()), end);
}

// studiomdl's (int)(x * 100), held to int's range.
std::int32_t hundredths(float x)
{
    const double h = static_cast<double>(x * 100.0f);
    return std::isfinite(h) ? static_cast<std::int32_t>(std::clamp(h, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX))) : 0;
}

} // namespace

const EngineLimitTable& engineLimitTable(EngineTarget target)
{
    switch (target) {
    case EngineTarget::GoldSrc: return kGoldSrc;
    case EngineTarget::Source: return kSource;
    case EngineTarget::MRef: break;
    }
    return kMRef;
}

LimitChecker::LimitChecker(const EngineLimitTable& limits, const std::string& file, std::span<const SkeletonNode> nodes, const CornerWelder* welder)
    : limits_(limits), file_(file), nodes_(nodes), welder_(welder), used_(nodes.size(), false)
{
}

void LimitChecker::note(Kind kind, At at, std::string what)
{
    if (++seen_[kind] <= kListed) findings_.push_back({std::move(at), kind, std::move(what)});
}

void LimitChecker::crossed(Kind kind, At at)
{
    if (crossed_[kind]) return;
    crossed_[kind] = true;
    crossedAt_[kind] = std::move(at);
}

void LimitChecker::node(const ScannedNode& n)
{
    const std::string who = limits_.who;
    if (limits_.nameLength > 0 && n.name.size() > limits_.nameLength)
        note(kName, {n.line, std::string(n.where)},
             "node name " + quoted(n.name) + " has " + std::to_string(n.name.size()) + " bytes; " + who + " keeps " +
                 std::to_string(limits_.nameLength) + " (" + limits_.nameWhy + ")");
    if (limits_.nodes > 0 && n.place == limits_.nodes) crossed(kNodes, {n.line, std::string(n.where)});
}

void LimitChecker::material(long line, std::string_view name, std::string_view where)
{
    const At at{line, std::string(where)};
    ++materials_;
    if (materials_ == 1) firstMaterial_ = name;
    if (limits_.materials > 0 && materials_ == limits_.materials + 1) {
        extraMaterial_ = name;
        crossed(kMaterials, at);
    }
    if (limits_.materialLength > 0 && name.size() > limits_.materialLength)
        note(kMaterialName, at,
             "material name " + quoted(name) + " has " + std::to_string(name.size()) + " bytes; " + limits_.who + " keeps " +
                 std::to_string(limits_.materialLength) + " (" + limits_.materialLengthWhy + ")");
    if (limits_.extension && !endsWithIgnoringCase(name, limits_.extension))
        note(kExtension, at, "material " + quoted(name) + ": " + limits_.who + " reads only " + limits_.extension + " textures (" + limits_.extensionWhy + ")");
}

void LimitChecker::triangle(long line, std::string_view where)
{
    if (limits_.triangles > 0 && ++triangles_ == limits_.triangles + 1) crossed(kTriangles, {line, std::string(where)});
}

void LimitChecker::frame(long line, std::int32_t, std::string_view where)
{
    if (limits_.frames > 0 && ++frames_ == limits_.frames + 1) crossed(kFrames, {line, std::string(where)});
}

void LimitChecker::useBone(std::int32_t bone, const At& at)
{
    if (limits_.bones == 0) return;
    for (std::size_t steps = 0; bone >= 0 && static_cast<std::size_t>(bone) < used_.size() && !used_[static_cast<std::size_t>(bone)] && steps < used_.size(); ++steps) {
        used_[static_cast<std::size_t>(bone)] = true;
        if (++usedBones_ == limits_.bones + 1) crossed(kBones, at);
        bone = nodes_[static_cast<std::size_t>(bone)].parent;
    }
}

void LimitChecker::linksOf(const ScannedVertex& v)
{
    const At at{v.line, std::string(v.where)};
    std::int32_t weighted = 0, other = -1;
    for (const BoneLink& link : v.links)
        if (link.weight != 0.0f) {
            ++weighted;
            other = link.bone;
        }
    if (limits_.links == 0) {
        // Only the parent bone is read: the links count when they say otherwise.
        if (weighted > 1)
            note(kLinks, at,
                 "vertex has " + std::to_string(weighted) + " links; " + limits_.who + " reads only its parent bone " + std::to_string(v.parent) + " (" +
                     limits_.linksWhy + ")");
        else if (weighted == 1 && other != v.parent)
            note(kLinks, at,
                 "vertex follows bone " + std::to_string(other) + " by its link; " + limits_.who + " reads only its parent bone " +
                     std::to_string(v.parent) + " (" + limits_.linksWhy + ")");
        useBone(v.parent, at);
        return;
    }
    const auto count = static_cast<std::int32_t>(v.links.size());
    if (count > limits_.links)
        note(kLinks, at,
             "vertex has " + std::to_string(count) + " links; " + limits_.who + " keeps " + std::to_string(limits_.links) + " (" + limits_.linksWhy + ")");
    if (!limits_.bonesByVertices) return;
    for (const BoneLink& link : v.links)
        if (link.weight != 0.0f) useBone(link.bone, at);
    if (weighted == 0) useBone(v.parent, at);
}

void LimitChecker::countVertex(const ScannedVertex& v)
{
    if (limits_.verticesByBonePosition) {
        if (static_cast<std::int64_t>(bonePositions_.size()) > limits_.vertices) return;
        bonePositions_.insert({v.parent, hundredths(v.position[0]), hundredths(v.position[1]), hundredths(v.position[2])});
        if (static_cast<std::int64_t>(bonePositions_.size()) > limits_.vertices) crossed(kVertices, {v.line, std::string(v.where)});
        return;
    }
    if (!v.firstUse) return;
    ++welded_;
    if (limits_.vertices > 0 && welded_ == limits_.vertices + 1) crossed(kVertices, {v.line, std::string(v.where)});
}

void LimitChecker::vertex(const ScannedVertex& v)
{
    linksOf(v);
    countVertex(v);
    if (limits_.lineLength == 0 || !v.firstUse) return;
    std::size_t length = v.length;
    if (welder_ && v.vertex >= 0 && static_cast<std::size_t>(v.vertex) < welder_->vertices.size()) {
        TextWriter line;
        putWeldedVertex(line, *welder_, static_cast<std::size_t>(v.vertex));
        length = line.size() - 1;
    }
    if (length > limits_.lineLength)
        note(kLine, {v.line, std::string(v.where)},
             "vertex " + std::to_string(v.vertex) + "'s mRef line has " + std::to_string(length) + " characters; " + limits_.who + " reads " +
                 std::to_string(limits_.lineLength) + " (" + limits_.lineLengthWhy + ")");
}

std::string LimitChecker::countMessage(Kind kind) const
{
    const std::string who = limits_.who;
    switch (kind) {
    case kNodes:
        return "node " + std::to_string(limits_.nodes + 1) + " of " + std::to_string(nodes_.size()) + ": " + who + " holds " + std::to_string(limits_.nodes) +
               " (" + limits_.nodesWhy + ")";
    case kBones:
        return std::to_string(usedBones_) + " bones are used by the vertices and their parents; " + who + " refuses " +
               std::to_string(limits_.bones + 1) + " or more (" + limits_.bonesWhy + ")";
    case kVertices:
        return limits_.verticesByBonePosition
                   ? "vertex " + std::to_string(limits_.vertices + 1) + " told apart by bone and position: " + who + " holds " +
                         std::to_string(limits_.vertices) + " (" + limits_.verticesWhy + ")"
                   : "vertex " + std::to_string(limits_.vertices + 1) + " of " + std::to_string(welded_) + ": " + who + " holds " +
                         std::to_string(limits_.vertices) + " (" + limits_.verticesWhy + ")";
    case kTriangles:
        return "triangle " + std::to_string(limits_.triangles + 1) + " of " + std::to_string(triangles_) + ": " + who + " holds " +
               std::to_string(limits_.triangles) + " (" + limits_.trianglesWhy + ")";
    case kMaterials:
        if (limits_.materials == 1)
            return "material " + quoted(extraMaterial_) + ": " + limits_.materialsWhy + " and keeps the first, " + quoted(firstMaterial_);
        return "material " + std::to_string(limits_.materials + 1) + " of " + std::to_string(materials_) + " (" + quoted(extraMaterial_) + "): " + who +
               " holds " + std::to_string(limits_.materials) + " (" + limits_.materialsWhy + ")";
    case kFrames:
        return "frame " + std::to_string(limits_.frames + 1) + " of " + std::to_string(frames_) + ": " + who + " keeps " + std::to_string(limits_.frames) +
               " (" + limits_.framesWhy + ")";
    default: return {};
    }
}

std::vector<std::string> LimitChecker::finish()
{
    for (const Kind kind : {kNodes, kBones, kVertices, kTriangles, kMaterials, kFrames})
        if (crossed_[kind]) findings_.push_back({crossedAt_[kind], kind, countMessage(kind)});
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) { return a.at.line < b.at.line; });
    std::vector<std::string> lines;
    for (const Finding& f : findings_) lines.push_back(Diagnostic{file_, f.at.line, f.at.where.empty() ? f.what : f.at.where + ": " + f.what}.text());
    const char* kinds[kKinds] = {"", "", "node names", "vertex lines", "", "", "", "material names", "materials", "", "vertices"};
    for (int kind = 0; kind < kKinds; ++kind)
        if (seen_[static_cast<std::size_t>(kind)] > kListed)
            lines.push_back(Diagnostic{file_, 0, "and " + std::to_string(seen_[static_cast<std::size_t>(kind)] - kListed) + " more " + kinds[kind] + " like those above"}.text());
    return lines;
}

} // namespace veskar
