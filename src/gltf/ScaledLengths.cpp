#include "gltf/ScaledLengths.h"

#include "import/LineCursor.h"
#include "import/TextScan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veskar {

namespace {

float largestOf(const float (&values)[3], float largest)
{
    for (float v : values) largest = std::max(largest, std::fabs(v));
    return largest;
}

// The product as the export forms it: float times float.
bool staysFinite(float length, float scale) { return std::isfinite(length * scale); }

} // namespace

float largestLength(std::span<const SkeletonNode> nodes, std::span<const EngineVertex> vertices)
{
    float largest = 0.0f;
    for (const SkeletonNode& node : nodes) largest = largestOf(node.position, largest);
    for (const EngineVertex& vertex : vertices) largest = largestOf(vertex.restVertex.position, largest);
    return largest;
}

float largestLength(const SkeletonAnimation& animation)
{
    float largest = 0.0f;
    for (std::int32_t f = 0; f < animation.frameCount && animation.hasFrames(); ++f) largest = std::max(largest, largestLength(animation.frame(f)));
    return largest;
}

long firstLineBeyondScale(const std::string& path, float scale)
{
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(path, reason)) return 0;
    std::string_view line;
    while (cursor.next(line)) {
        FieldScanner scan(line);
        std::int32_t number = 0;
        if (scan.readInt(number) != ScanStatus::Ok) continue;
        for (int i = 0; i < 3; ++i) {
            float length = 0.0f;
            if (scan.readFloat(length) != ScanStatus::Ok) break;
            if (!staysFinite(length, scale)) return cursor.lineNumber();
        }
    }
    return 0;
}

Diagnostic refuseScaledBeyondRange(const std::string& path, float largest, float scale)
{
    if (staysFinite(largest, scale)) return {};
    char option[64];
    std::snprintf(option, sizeof option, "--scale %g", static_cast<double>(scale));
    return {path, firstLineBeyondScale(path, scale), std::string("a length times ") + option + " is not a finite number"};
}

} // namespace veskar
