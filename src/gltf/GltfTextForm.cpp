#include "gltf/GltfTextForm.h"

#include "system/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <string_view>

namespace veskar {

namespace {

constexpr std::uint32_t kJsonChunk = 0x4E4F534A;   // "JSON"
constexpr std::uint32_t kBinaryChunk = 0x004E4942; // "BIN\0"

std::uint32_t read32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// A URI's path as RFC 3986 has it: everything but the unreserved characters
// percent-encoded, so spaces and Hangul in a name reach every reader.
std::string uriOf(const std::string& fileName)
{
    static const char* hex = "0123456789ABCDEF";
    std::string uri;
    for (const char c : fileName) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' || b == '_' || b == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += hex[b >> 4];
            uri += hex[b & 15];
        }
    }
    return uri;
}

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool isGltfTextOutput(const std::string& output)
{
    constexpr std::string_view kExtension = ".gltf";
    if (output.size() <= kExtension.size()) return false;
    const std::string_view tail = std::string_view(output).substr(output.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i)
        if ((tail[i] | 0x20) != kExtension[i]) return false;
    return true;
}

std::string gltfBufferPath(const std::string& output) { return output.substr(0, output.size() - 5) + ".bin"; }

bool splitGlb(const std::string& glb, const std::string& bufferFileName, std::string& json, std::string& buffer, std::string& reason)
{
    reason = "not a .glb as the writer makes it";
    if (glb.size() < 20 || glb.compare(0, 4, "glTF") != 0 || read32(glb, 8) != glb.size()) return false;
    const std::size_t jsonLength = read32(glb, 12);
    if (read32(glb, 16) != kJsonChunk || jsonLength > glb.size() - 20) return false;
    const std::size_t binary = 20 + jsonLength;
    buffer.clear();
    if (binary < glb.size()) {
        if (glb.size() - binary < 8 || read32(glb, binary + 4) != kBinaryChunk) return false;
        const std::size_t length = read32(glb, binary);
        if (length > glb.size() - binary - 8) return false;
        buffer = glb.substr(binary + 8, length);
    }
    nlohmann::json document = nlohmann::json::parse(glb.begin() + 20, glb.begin() + static_cast<std::ptrdiff_t>(binary), nullptr, false);
    if (document.is_discarded()) return false;
    if (!buffer.empty()) {
        auto buffers = document.find("buffers");
        if (buffers == document.end() || !buffers->is_array() || buffers->empty()) return false;
        (*buffers)[0]["uri"] = uriOf(bufferFileName);
    }
    json = document.dump(2) + "\n";
    reason.clear();
    return true;
}

bool writeGltfOutput(const std::string& output, const std::string& glb, std::string& reason)
{
    if (!isGltfTextOutput(output)) return writeFileAtomically(output, glb, reason);
    const std::string bufferPath = gltfBufferPath(output);
    std::string json, buffer;
    if (!splitGlb(glb, fileNameOf(bufferPath), json, buffer, reason)) return false;
    AtomicFile bufferFile, jsonFile;
    std::string why;
    if (!bufferFile.create(bufferPath, why)) {
        reason = bufferPath + ": " + why;
        return false;
    }
    if (!jsonFile.create(output, reason)) return false;
    bufferFile.append(buffer);
    jsonFile.append(json);
    if (!bufferFile.commit(why)) {
        reason = bufferPath + ": " + why;
        return false;
    }
    return jsonFile.commit(reason);
}

} // namespace veskar
