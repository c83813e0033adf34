// SMD reference reader on arbitrary bytes. A file that loads must also weld,
// write as mRef and read back with the same counts: the converter must never
// produce a file its own viewer refuses. The converter's own way, welding as
// it reads, must refuse alike and write the same bytes.

#include "FuzzSupport.h"

#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"
#include "system/InputFile.h"
#include "import/SmdRecords.h"

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace veskar;

VESKAR_FUZZ_TARGET("model.smd")
{
    FormatConverter converter;
    converter.smdModel = std::make_unique<SmdModelRecords>();
    SmdModelRecords& model = *converter.smdModel;
    FormatConverter streaming;
    streaming.smdModel = std::make_unique<SmdModelRecords>();
    streaming.smdModel->minimumShare = 64;   // several blocks even in a small file
    const bool streamed = streaming.readWeldedFromMemory(text, name) == kSmdRead;
    if (!model.loadReferenceFromMemory(text, name)) {
        VESKAR_FUZZ_CHECK(!streamed && streaming.diagnostic.text() == model.diagnostic.text(),
                          "welding while reading refused otherwise: " + streaming.diagnostic.text());
        fuzz::checkRefusal(model.diagnostic, text, name);
        VESKAR_FUZZ_CHECK(model.meshCount == 0 && !model.hasMesh, "a refused file left a mesh");
        VESKAR_FUZZ_CHECK(!fuzz::boxes().boxes.empty(), "a refusal without a box");
        return 0;
    }
    const SmdMesh& mesh = model.meshes[0];
    VESKAR_FUZZ_CHECK(model.meshCount == 1 && model.hasMesh, "a loaded file left no mesh");
    VESKAR_FUZZ_CHECK(mesh.triangles.size() == static_cast<std::size_t>(std::max(mesh.triangleCount, 0)), "triangle table size");

    VESKAR_FUZZ_CHECK(converter.weldVertices(), "welding a loaded mesh failed");
    for (const TriangleIndices& t : converter.triangles)
        for (std::int32_t i : {t.a, t.b, t.c}) VESKAR_FUZZ_CHECK(i >= 0 && i < converter.weldedCount, "a welded index out of range");

    converter.nodeCount = mesh.nodeCount;
    converter.textureName = model.materialNames.empty() ? std::string() : model.materialNames[0];
    converter.sourceDirectory = fuzz::outputFolder() + "/";
    converter.outputName = "model.mRef";
    VESKAR_FUZZ_CHECK(converter.writeReference(), converter.diagnostic.text());

    std::string written, reason;
    VESKAR_FUZZ_CHECK(readWholeFile(converter.outputPath, written, reason), reason);
    VESKAR_FUZZ_CHECK(streamed, "welding while reading refused a file the viewer loads: " + streaming.diagnostic.text());
    streaming.nodeCount = streaming.smdModel->meshes[0].nodeCount;
    streaming.textureName = converter.textureName;
    streaming.sourceDirectory = converter.sourceDirectory;
    streaming.outputName = "streamed.mRef";
    VESKAR_FUZZ_CHECK(streaming.writeReference(), streaming.diagnostic.text());
    std::string streamedText;
    VESKAR_FUZZ_CHECK(readWholeFile(streaming.outputPath, streamedText, reason), reason);
    VESKAR_FUZZ_CHECK(streamedText == written, "welding while reading wrote other bytes");
    EngineModelRecords engine;
    const bool readBack = engine.loadReferenceFromMemory(written, fuzz::emptyFolder() + "/model.mRef");
    VESKAR_FUZZ_CHECK(readBack, engine.diagnostic.text());
    VESKAR_FUZZ_CHECK(engine.nodeCount == converter.nodeCount && engine.vertexCount == converter.weldedCount &&
                          engine.triangleCount == converter.cornerCount / 3,
                      "the mRef read back has other counts");
    return 0;
}
