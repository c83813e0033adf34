// The sample as files: the documents formatted as SMD text, the textures as
// PNG, all written atomically into one folder.

#include "sample/SampleCharacter.h"

#include "sample/LineTable.h"
#include "mref/SmdWriter.h"
#include "mref/TextWriter.h"
#include "base/Utf8Path.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace veskar::sample {
namespace {

// Rounding noise from the matrix algebra would otherwise print as
// "-0.000000".
float tidy(float value) { return std::fabs(value) < 5e-7f ? 0.0f : value; }

} // namespace


std::string formatSmd(const SmdDocument& doc)
{
    TextWriter out;
    out.reserve(doc.triangles.size() * 300 + doc.frames.size() * doc.nodes.size() * 64 + 4096);
    putSmdStart(out);
    for (size_t i = 0; i < doc.nodes.size(); ++i) putNodeLine(out, static_cast<int>(i), doc.nodes[i].name, doc.nodes[i].parent);
    putSmdSkeletonStart(out);
    for (size_t f = 0; f < doc.frames.size(); ++f) {
        putSmdTime(out, static_cast<int>(f));
        for (size_t i = 0; i < doc.frames[f].size(); ++i) {
            const SampleKey& k = doc.frames[f][i];
            const float key[6] = {tidy(k.x), tidy(k.y), tidy(k.z), tidy(k.rx), tidy(k.ry), tidy(k.rz)};
            putSmdBone(out, static_cast<int>(i), key);
        }
    }
    out.put("end\n");
    if (doc.triangles.empty()) return std::string(out.text());

    // Each vertex is formatted once; every corner that uses it repeats that
    // text, so the converter's exact comparison merges them.
    LineTable lines;
    for (const SampleVertex& v : doc.vertices) {
        const float values[8] = {tidy(v.position.x), tidy(v.position.y), tidy(v.position.z), tidy(v.normal.x),
                                 tidy(v.normal.y),   tidy(v.normal.z),   tidy(v.u),          tidy(v.v)};
        BoneLink links[kMaxSampleLinks];
        const int linkCount = std::clamp(v.linkCount, 0, kMaxSampleLinks);
        for (int k = 0; k < linkCount; ++k) links[k] = {v.links[k].bone, tidy(v.links[k].weight)};
        putSmdVertex(lines.writer(), linkCount > 0 ? v.links[0].bone : 0, values, std::span<const BoneLink>(links, static_cast<size_t>(linkCount)));
        lines.closeLine();
    }
    out.put("triangles\n");
    for (const SampleTriangle& t : doc.triangles) {
        out.put(doc.materials[static_cast<size_t>(t.material)]).put('\n');
        for (int corner : t.corners) out.put(lines[static_cast<size_t>(corner)]);
    }
    out.put("end\n");
    return std::string(out.text());
}


bool writeFile(const std::string& path, std::string_view bytes, std::string& error)
{
    std::string reason;
    if (writeFileAtomically(path, bytes, reason)) return true;
    error = "cannot write " + path + ": " + reason;
    return false;
}


bool writePng(const std::string& path, const Image& image, std::string& error)
{
    std::string bytes;
    const auto collect = [](void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size)); };
    if (stbi_write_png_to_func(collect, &bytes, image.width, image.height, 4, image.rgba.data(), image.width * 4) == 0) {
        error = "cannot encode " + path;
        return false;
    }
    return writeFile(path, bytes, error);
}


bool writeCharacterSet(const std::string& directory, std::vector<std::string>& written, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = pathFromUtf8(directory);
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create directory " + directory + ": " + ec.message();
        return false;
    }
    if (!fs::is_directory(folder, ec)) {
        error = directory + " is not a directory";
        return false;
    }
    constexpr int kTextureSize = 128;
    constexpr int kWalkFrameCount = 32;
    struct Output {
        const char* name;
        SmdDocument (*document)();
        Image (*picture)(int size);
    };
    const Output outputs[] = {
        {"hero.smd", buildHero, nullptr},
        {"hero_body.png", nullptr, paintBodyTexture},
        {"hero_head.png", nullptr, paintHeadTexture},
        {"walk.smd", [] { return buildWalk(kWalkFrameCount); }, nullptr},
        {"weapon.smd", buildWeapon, nullptr},
        {"weapon.png", nullptr, paintWeaponTexture},
    };
    for (const Output& out : outputs) {
        const std::string path = utf8FromPath(folder / out.name);
        const bool ok = out.document != nullptr ? writeFile(path, formatSmd(out.document()), error)
                                                : writePng(path, out.picture(kTextureSize), error);
        if (!ok) return false;
        written.push_back(path);
    }
    return true;
}

} // namespace veskar::sample
