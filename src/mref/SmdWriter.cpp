#include "mref/SmdWriter.h"

#include "import/TextScan.h"

namespace veskar {

bool endsSmdSection(std::string_view material) { return equalsIgnoringCase(firstWord(material), "end"); }

TextWriter& putSmdVertex(TextWriter& out, std::int32_t parent, const float (&values)[8], std::span<const BoneLink> links)
{
    if (links.empty()) return putVertexStart(out, parent, values, 1).put(' ').putInt(parent).put(" 0.000000\n");
    putVertexStart(out, parent, values, static_cast<std::int32_t>(links.size()));
    for (const BoneLink& link : links) out.put(' ').putInt(link.bone).put(' ').putFloat(link.weight);
    return out.put('\n');
}

} // namespace veskar
