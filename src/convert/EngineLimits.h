#pragma once
// What a model compiler or engine will refuse in a model, or silently change:
// GoldSrc's and Source's studiomdl by the limits their SDK headers define,
// and this system's own engine. Each finding names the file and the line it
// is about.

#include "import/Diagnostic.h"

#include <string>
#include <string_view>
#include <vector>

namespace veskar {

enum class EngineTarget { GoldSrc, Source, MRef };

// "goldsrc", "source" or "mref"; false for anything else.
bool engineTargetFromName(std::string_view name, EngineTarget& target);

struct LimitCheck {
    // The file was read; when not, refusal says why (with the system's own
    // message, when its reader has one).
    bool read = false;
    Diagnostic refusal;
    const char* message = nullptr;
    // "FILE:LINE: what", in the order of the lines; of a kind repeated on
    // many lines the first few are listed and one more line counts the rest.
    std::vector<std::string> findings;
};

// Reads path (an SMD reference or animation, an mRef or mAni, told by its
// content) and checks it against target.
LimitCheck checkEngineLimits(const std::string& path, EngineTarget target);

} // namespace veskar
