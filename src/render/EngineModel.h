#pragma once
// The viewer's engine model: the records of an mRef and its mAni
// (mref/EngineRecords.h) with what the device holds for drawing them, its own
// instance of the shading effect, and the boxes a refused file shows.

#include "mref/EngineRecords.h"
#include "gpu/Effect.h"

#include <array>
#include <string>
#include <string_view>

namespace veskar {

class Device;
class IndexBuffer;
class Texture;
class VertexBuffer;

// What the device holds for one mesh slot: the rest and bind copies of the
// vertices (the bind buffer is rewritten by skinning), the triangles, and the
// texture (a light-grey stand-in for a file that cannot be loaded).
struct EngineMeshObjects {
    VertexBuffer* restBuffer = nullptr;
    VertexBuffer* bindBuffer = nullptr;
    IndexBuffer* indexBuffer = nullptr;
    Texture* texture = nullptr;
    void release();
};

class EngineModel : public EngineModelRecords {
public:
    explicit EngineModel(Device* device);
    ~EngineModel();
    void destroy();

    // Read a reference into the next mesh slot and upload it; false when it
    // could not be opened (no box) or was refused (box shown). diagnostic says
    // why. Animations load as the records load them.
    bool loadReference(const std::string& path);
    bool loadReferenceFromMemory(std::string_view text, const std::string& displayName);
    // Read, prepare and upload, showing nothing.
    EngineReadResult readReference(std::string_view text, const std::string& displayName);
    EngineReadResult readReference(LineCursor& lines, const std::string& displayName);

    // The model effect head (see ModelEffect.h): the device the model draws
    // with, and its own instance of the shading effect.
    Device* device = nullptr;
    Effect* effect = nullptr;
    EffectHandle technique = kNullHandle;

    std::array<EngineMeshObjects, kModelSlots> meshObjects;

    // The rest, bind and index buffers of a slot from its records; false when
    // the device refuses one (the slot then draws nothing).
    bool createBuffers(std::size_t slot);

private:
    // The texture and buffers of the slot just read, with the texture's
    // console line.
    void upload(std::size_t slot);
};

} // namespace veskar
