#pragma once
// The viewer's SMD model: the records of the reference and its animations
// (import/SmdRecords.h) with what the device holds for drawing them, its own
// instance of the shading effect, and the boxes a refused file shows.

#include "import/SmdRecords.h"
#include "gpu/Effect.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace veskar {

class Device;
class Texture;
class VertexBuffer;

// What the device holds for one mesh slot: the vertex buffer the skinned
// corners go into, and one texture a material (a light-grey stand-in for a
// file that cannot be loaded).
struct SmdMeshObjects {
    VertexBuffer* vertexBuffer = nullptr;
    std::vector<Texture*> textures;
    void release();
};

class SmdModel : public SmdModelRecords {
public:
    explicit SmdModel(Device* device);
    ~SmdModel();
    void destroy();

    // Read a reference into the next slot and upload it; false when it could
    // not be opened (no box) or was refused (box shown). diagnostic says why
    // in both cases. Animations load as the records load them.
    bool loadReference(const std::string& path);
    // The same from a buffer already in memory; displayName names it in
    // diagnostics and gives the texture folder.
    bool loadReferenceFromMemory(std::string_view text, const std::string& displayName);

    // Read, pose and upload into the next slot, showing nothing: the result
    // and diagnostic say how it went.
    SmdReadResult readReference(std::string_view text, const std::string& displayName);
    SmdReadResult readReference(LineCursor& lines, const std::string& displayName);

    // The model effect head (see ModelEffect.h): the device the model draws
    // with, and its own instance of the shading effect.
    Device* device = nullptr;
    Effect* effect = nullptr;
    EffectHandle technique = kNullHandle;

    std::array<SmdMeshObjects, kModelSlots> meshObjects;

    // The textures and vertex buffer of a slot just read, and a console line
    // for each texture file; for records filled by another reader (glTF).
    void upload(std::size_t slot);
};

} // namespace veskar
