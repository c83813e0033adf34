#include "gltf/GltfFileLoad.h"

#include "gltf/GltfSchema.h"
#include "import/SmdRecords.h"
#include "system/InputFile.h"
#include "base/PrintableName.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <new>
#include <string_view>

namespace veskar {

namespace {

using json = nlohmann::json;

// The JSON of a real glTF file nests six or seven deep and holds thousands of
// values. A parsed value takes some tens of bytes, so a file of "[[[[..." or
// of "{},{},..." would ask for far more memory (and stack, in the library's
// parser) than its size; both are bounded before anything is parsed.
constexpr int kDeepestJson = 64;
constexpr std::size_t kMostJsonValues = 1u << 23;

constexpr std::uint32_t kGlbMagic = 0x46546C67;   // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kBinChunk = 0x004E4942;   // "BIN\0"

std::uint32_t le32(std::string_view bytes, std::size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[3]) << 24;
}

bool readCapped(const std::string& path, std::string& bytes, std::string& reason)
{
    InputFile file;
    if (!file.open(path, reason)) return false;
    if (file.size() > kGltfLargestFile) {
        reason = std::to_string(file.size()) + " bytes, more than the 1 GiB a glTF file may have";
        return false;
    }
    try {
        bytes.resize(static_cast<std::size_t>(file.size()));
    } catch (const std::bad_alloc&) {
        reason = "not enough memory to read it";
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::int64_t n = file.readAt(done, bytes.data() + done, bytes.size() - done, reason);
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return true;
}

// The chunks of a binary glTF file, every length checked against the file
// (the library trusts them to eight bytes).
struct GlbChunks {
    std::uint32_t length = 0;
    std::string_view json;
    bool hasBin = false;
    std::size_t binSize = 0;
};

std::string splitGlb(std::string_view bytes, GlbChunks& out)
{
    if (bytes.size() < 20) return "too short for the header of binary glTF";
    if (const std::uint32_t version = le32(bytes, 4); version != 2)
        return "binary glTF version " + std::to_string(version) + "; version 2 is read";
    out.length = le32(bytes, 8);
    if (out.length > bytes.size() || out.length < 20)
        return "the header gives a length of " + std::to_string(out.length) + " bytes; the file holds " + std::to_string(bytes.size());
    const std::uint64_t jsonLength = le32(bytes, 12);
    if (le32(bytes, 16) != kJsonChunk) return "the first chunk is not JSON";
    const std::uint64_t jsonEnd = 20 + jsonLength;
    if (jsonLength == 0 || jsonEnd > out.length) return "the JSON chunk of " + std::to_string(jsonLength) + " bytes runs past the end of the file";
    out.json = bytes.substr(20, static_cast<std::size_t>(jsonLength));
    if (jsonEnd == out.length) return {};
    if (jsonEnd + 12 > out.length) return "the bytes after the JSON chunk are no chunk";
    const std::uint64_t binLength = le32(bytes, static_cast<std::size_t>(jsonEnd));
    if (le32(bytes, static_cast<std::size_t>(jsonEnd) + 4) != kBinChunk) return "the second chunk is not BIN";
    if (jsonEnd + 8 + binLength > out.length) return "the BIN chunk of " + std::to_string(binLength) + " bytes runs past the end of the file";
    if (binLength < 4 || binLength % 4 != 0) return "the BIN chunk's length (" + std::to_string(binLength) + ") is not a whole number of 4-byte words";
    out.hasBin = true;
    out.binSize = static_cast<std::size_t>(binLength);
    return {};
}

// Nesting and values counted outside strings, before the parser sees them.
std::string checkJsonSize(std::string_view text)
{
    int depth = 0;
    std::size_t values = 0;
    long line = 1;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') ++line;
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++values;
            if (++depth > kDeepestJson) return "JSON line " + std::to_string(line) + ": nested more than " + std::to_string(kDeepestJson) + " deep";
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',') {
            ++values;
        }
        if (values > kMostJsonValues) return "the JSON holds more than " + std::to_string(kMostJsonValues) + " values";
    }
    return {};
}

} // namespace

std::string gltfUriPath(const std::string& uri)
{
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '+') {
            out += ' ';
        } else if (uri[i] == '%' && uri.size() > i + 2) {
            out += static_cast<char>(hex(uri[i + 1]) << 4 | hex(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

namespace {

// A file beside the glTF file, joined as the glTF library joins it.
std::string besideFile(const std::string& folder, const std::string& uri)
{
    const std::string name = gltfUriPath(uri);
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A top-level array of the file, empty when it has none.
const json& arrayOf(const json& root, const char* name)
{
    static const json kNone = json::array();
    const auto it = root.find(name);
    return it == root.end() ? kNone : *it;
}

bool startsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The bytes a base64 payload decodes to in the glTF library: it stops at the
// first character that is not base64.
std::size_t base64Length(std::string_view payload)
{
    std::size_t n = 0;
    while (n < payload.size()) {
        const char c = payload[n];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/')) break;
        ++n;
    }
    return n / 4 * 3 + (n % 4 > 1 ? n % 4 - 1 : 0);
}

constexpr std::string_view kBufferDataPrefixes[] = {"data:application/octet-stream;base64,", "data:application/gltf-buffer;base64,"};
constexpr std::string_view kImageDataPrefixes[] = {"data:image/jpeg;base64,", "data:image/png;base64,", "data:image/bmp;base64,",
                                                   "data:image/gif;base64,"};

// Every buffer of the length it declares, before the library reads them.
GltfSchemaFault checkBuffers(const json& root, const GlbChunks* glb, const std::string& folder, std::vector<std::string>& sources)
{
    const json& buffers = arrayOf(root, "buffers");
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        const json& buffer = buffers[i];
        const std::string place = "/buffers/" + std::to_string(i);
        const auto length = buffer["byteLength"].get<std::uint64_t>();
        if (!buffer.contains("uri")) {
            if (!glb || i != 0) return {place, "has no uri; only the first buffer of a binary file may stand for its BIN chunk"};
            if (!glb->hasBin) return {place, "stands for the BIN chunk, and the file has none"};
            if (length > glb->binSize)
                return {place + "/byteLength", std::to_string(length) + " bytes, but the BIN chunk holds " + std::to_string(glb->binSize)};
            continue;
        }
        const auto uri = buffer["uri"].get<std::string>();
        if (startsWith(uri, "data:")) {
            std::string_view payload;
            for (const std::string_view prefix : kBufferDataPrefixes)
                if (startsWith(uri, prefix)) payload = std::string_view(uri).substr(prefix.size());
            if (payload.data() == nullptr) return {place + "/uri", "a data URI that is not base64 of application/octet-stream or application/gltf-buffer"};
            if (const std::size_t decoded = base64Length(payload); decoded != length)
                return {place + "/uri", "the data holds " + std::to_string(decoded) + " bytes where byteLength says " + std::to_string(length)};
            continue;
        }
        const std::string path = besideFile(folder, uri);
        InputFile file;
        std::string reason;
        if (!file.open(path, reason)) return {place + "/uri", "cannot open " + printableName(path) + ": " + reason};
        if (file.size() != length)
            return {place + "/byteLength", std::to_string(length) + " bytes, but " + printableName(path) + " holds " + std::to_string(file.size())};
        sources.push_back(path);
    }
    const json& views = arrayOf(root, "bufferViews");
    for (std::size_t i = 0; i < views.size(); ++i) {
        const json& view = views[i];
        const auto buffer = view["buffer"].get<std::size_t>();
        const std::uint64_t offset = view.value("byteOffset", std::uint64_t{0});
        const auto length = view["byteLength"].get<std::uint64_t>();
        const auto size = buffers[buffer]["byteLength"].get<std::uint64_t>();
        if (offset + length > size)
            return {"/bufferViews/" + std::to_string(i), "bytes " + std::to_string(offset) + " to " + std::to_string(offset + length) + " lie beyond the " +
                                                            std::to_string(size) + " bytes of buffer " + std::to_string(buffer)};
    }
    return {};
}

GltfSchemaFault checkImages(const json& root, const std::string& folder, std::vector<std::string>& sources)
{
    const json& images = arrayOf(root, "images");
    for (std::size_t i = 0; i < images.size(); ++i) {
        const json& image = images[i];
        const std::string place = "/images/" + std::to_string(i);
        const bool hasUri = image.contains("uri");
        if (hasUri == image.contains("bufferView")) return {place, hasUri ? "has both a uri and a bufferView" : "has neither a uri nor a bufferView"};
        if (!hasUri) continue;
        const auto uri = image["uri"].get<std::string>();
        bool data = false;
        for (const std::string_view prefix : kImageDataPrefixes) {
            if (!startsWith(uri, prefix)) continue;
            data = true;
            if (base64Length(std::string_view(uri).substr(prefix.size())) == 0) return {place + "/uri", "a data URI without data"};
        }
        // Other data URIs are no files; the library leaves them as names.
        if (!data && !startsWith(uri, "data:")) sources.push_back(besideFile(folder, uri));
    }
    return {};
}

// The glTF library's own file access, through the system's: regular files
// only, UTF-8 names on every system, nothing expanded, nothing written.
bool fileExists(const std::string& path, void*)
{
    InputFile file;
    std::string reason;
    return file.open(path, reason);
}
std::string expandPath(const std::string& path, void*) { return path; }
bool readFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void*)
{
    std::string bytes, reason;
    if (!readCapped(path, bytes, reason)) {
        if (err) *err = reason;
        return false;
    }
    try {
        out->assign(bytes.begin(), bytes.end());
    } catch (const std::bad_alloc&) {
        if (err) *err = "not enough memory";
        return false;
    }
    return true;
}
bool writeNothing(std::string* err, const std::string&, const std::vector<unsigned char>&, void*)
{
    if (err) *err = "the reader writes no files";
    return false;
}

// Images keep their bytes as they are; nothing is decoded here. Every buffer
// view was checked to lie within its buffer, so the bytes handed over are
// the image's own.
bool keepImageBytes(tinygltf::Image* image, int, std::string* err, std::string*, int, int, const unsigned char* bytes, int size, void*)
{
    try {
        image->image.assign(bytes, bytes + (size > 0 ? size : 0));
    } catch (const std::bad_alloc&) {
        if (err) *err += "not enough memory for an image";
        return false;
    }
    image->width = image->height = 0;
    return true;
}

} // namespace

namespace {

// The JSON parsed and checked: the shape, the version, the buffers and
// images; false with the refusal.
bool checkJson(const std::string& path, std::string_view text, const GlbChunks* glb, json& root, std::vector<std::string>& sources, Diagnostic& refusal)
{
    if (const std::string why = checkJsonSize(text); !why.empty()) {
        refusal = gltfRefusal(path, "", why);
        return false;
    }
    try {
        root = json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        std::string what = e.what();
        if (const auto cut = what.find("] "); cut != std::string::npos) what = what.substr(cut + 2);
        refusal = gltfRefusal(path, "", "the JSON does not parse: " + what);
        return false;
    } catch (const std::bad_alloc&) {
        refusal = gltfRefusal(path, "", "not enough memory for the JSON");
        return false;
    }
    GltfSchemaFault fault = checkGltfSchema(root);
    if (fault.empty()) {
        const auto version = root["asset"]["version"].get<std::string>();
        if (!startsWith(version, "2.")) fault = {"/asset/version", "version \"" + printableName(version) + "\"; glTF 2.0 is read"};
    }
    const std::string folder = directoryOf(path);
    if (fault.empty()) fault = checkBuffers(root, glb, folder, sources);
    if (fault.empty()) fault = checkImages(root, folder, sources);
    if (!fault.empty()) {
        refusal = gltfRefusal(path, fault.place, fault.what);
        return false;
    }
    return true;
}

// The file's bytes, its chunks when it is binary, and its JSON checked.
bool readAndCheck(const std::string& path, std::string& bytes, bool& binary, GlbChunks& glb, json& root, std::vector<std::string>& sources,
                  Diagnostic& refusal)
{
    std::string reason;
    if (!readCapped(path, bytes, reason)) {
        refusal = {path, 0, "cannot open: " + reason};
        return false;
    }
    binary = bytes.size() >= 4 && le32(bytes, 0) == kGlbMagic;
    if (binary) {
        if (const std::string why = splitGlb(bytes, glb); !why.empty()) {
            refusal = gltfRefusal(path, "", why);
            return false;
        }
    }
    return checkJson(path, binary ? glb.json : std::string_view(bytes), binary ? &glb : nullptr, root, sources, refusal);
}

} // namespace

bool outlineGltfFile(const std::string& path, GltfOutline& out, Diagnostic& refusal)
{
    std::string bytes;
    GlbChunks glb;
    json root;
    if (!readAndCheck(path, bytes, out.binary, glb, root, out.sources, refusal)) return false;
    for (const json& animation : arrayOf(root, "animations")) out.animationNames.push_back(animation.value("name", std::string()));
    return true;
}

bool loadGltfFile(const std::string& path, GltfFile& out, Diagnostic& refusal)
{
    std::string bytes;
    GlbChunks glb;
    {
        // The library parses the JSON again; this copy goes first.
        json root;
        if (!readAndCheck(path, bytes, out.binary, glb, root, out.sources, refusal)) return false;
    }

    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({&fileExists, &expandPath, &readFile, &writeNothing, nullptr});
    loader.SetImageLoader(&keepImageBytes, nullptr);
    std::string err, warn;
    const std::string folder = directoryOf(path);
    bool loaded = false;
    try {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        loaded = out.binary ? loader.LoadBinaryFromMemory(&out.model, &err, &warn, data, glb.length, folder)
                            : loader.LoadASCIIFromString(&out.model, &err, &warn, bytes.data(), static_cast<unsigned int>(bytes.size()), folder);
    } catch (const std::bad_alloc&) {
        err = "not enough memory";
    } catch (const std::exception& e) {
        err = e.what();
    }
    if (!loaded) {
        if (const auto cut = err.find('\n'); cut != std::string::npos) err.resize(cut);
        refusal = gltfRefusal(path, "", "the glTF library refused it: " + printableName(err));
        return false;
    }
    return true;
}

} // namespace veskar
