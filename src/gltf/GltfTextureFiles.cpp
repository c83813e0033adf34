#include "gltf/GltfTextureFiles.h"

#include "import/LineCursor.h"
#include "import/SmdRecords.h"
#include "import/SmdSections.h"
#include "system/TexturePath.h"

#include <algorithm>

namespace veskar {

std::string gltfTexturePath(const std::string& folder, const std::string& materialName)
{
    return resolveTexturePath(folder + materialName);
}

std::vector<std::string> gltfTextureFiles(const std::string& reference)
{
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(reference, reason)) return {};
    std::vector<std::string> names;
    // An mRef names its one texture on its third line; anything else is read
    // as SMD, whose materials the counting pass lists.
    std::string_view line;
    for (int i = 0; i < 3 && cursor.next(line); ++i) {
        if (i == 1 && !equalsIgnoringCase(firstWord(line), "ref")) break;
        if (i == 2) names.emplace_back(firstWord(line));
    }
    if (names.empty()) {
        if (!cursor.rewind()) return {};
        std::string token;
        std::int32_t value = 0;
        if (!readSmdHeader(cursor, token, value)) return {};
        SmdCounts counts;
        countSmdSections(cursor, counts, names);
        names.resize(static_cast<std::size_t>(counts.materialCount));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<std::string> files;
    for (const std::string& name : names)
        if (!name.empty()) files.push_back(gltfTexturePath(directoryOf(reference), name));
    return files;
}

} // namespace veskar
