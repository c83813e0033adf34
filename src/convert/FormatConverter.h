#pragma once
// The record behind the two convert commands: the SMD model read from the
// source, the welded vertices and triangles, and the names of the output.

#include "convert/CornerWelder.h"
#include "mref/EngineVertex.h"
#include "mref/TextWriter.h"
#include "import/AnimationKeys.h"
#include "import/Diagnostic.h"
#include "import/SmdRecords.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace veskar {

class FormatConverter {
public:
    FormatConverter() = default;
    ~FormatConverter();
    FormatConverter(const FormatConverter&) = delete;
    FormatConverter& operator=(const FormatConverter&) = delete;
    void destroy();

    // SMD reference -> mRef, SMD animation -> mAni, beside the source.
    bool convertReference(const std::string& path);
    bool convertAnimation(const std::string& path);

    // Reads a reference into smdModel (made before) welding it as it is read:
    // the mesh keeps no triangles; the welder and triangles hold the result,
    // the counts are logged as weldVertices() logs them.
    SmdReadResult readWelded(const std::string& path);
    SmdReadResult readWeldedFromMemory(std::string_view text, const std::string& displayName);

    // Merges equal corners of mesh slot 0, numbering vertices in order of
    // first appearance, and logs the counts before and after. The engine's
    // records go to weldedVertices (the convert command welds as it reads and
    // writes from the welder's packed vertices alone).
    bool weldVertices();
    // Checked before writing: the counts below agree with the tables they
    // count (welded vertices, corners of the triangles, the mesh's nodes; the
    // animation's keys). The writers refuse otherwise.
    bool validateReference() const;
    bool validateAnimation() const;
    bool writeReference();
    bool writeAnimation();

    std::unique_ptr<SmdModelRecords> smdModel;
    std::string sourceDirectory;
    std::string outputName;
    std::string outputPath;
    std::int32_t weldedCount = 0;
    std::int32_t cornerCount = 0;
    CornerWelder welder;
    std::vector<EngineVertex> weldedVertices;
    std::vector<TriangleIndices> triangles;
    std::int32_t nodeCount = 0;
    std::string textureName;
    // The animation to write, as its file numbers the nodes.
    AnimationKeys animationKeys;

    Diagnostic diagnostic;   // why the last command failed
    // The source was opened and refused (the viewer shows its box then), and
    // the system's own message for it, null when the diagnostic says it all
    // (see smdRefusalMessage).
    bool sourceRefused = false;
    const char* refusalMessage = nullptr;
    // Set by convertReference when the source has more materials than the
    // one texture an mRef can name: how many, and which one it keeps. The
    // callers print it on standard error; empty otherwise.
    std::string materialWarning;

private:
    SmdReadResult readWelded(const std::function<SmdReadResult(SmdModelRecords&)>& read);
    // Takes the welder's triangles and logs the counts.
    void finishWelding();
    // Sets sourceDirectory, outputName and outputPath for the source path;
    // false when the output would be the source itself.
    bool nameOutput(const std::string& path, const char* extension);
    // Writes outputPath atomically with the text write gives, when valid.
    bool writeOutput(const char* what, bool valid, const std::function<void(TextWriter&)>& write);
};

// The mRef line of the welder's vertex j, its '\n' included.
void putWeldedVertex(TextWriter& out, const CornerWelder& welder, std::size_t j);

// The warning for a reference of several materials (an mRef names one
// texture, the first material's); empty for one of at most one.
std::string materialWarningText(const std::string& source, const std::string& outputName, const std::vector<std::string>& materialNames);

// The file a conversion of source writes: beside it, with its extension
// replaced by extension, or given one when it has none.
std::string outputPathFor(const std::string& source, const char* extension);

} // namespace veskar
