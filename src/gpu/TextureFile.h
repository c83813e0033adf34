#pragma once
// Texture files named by models: BMP, TGA, PNG, JPG, DDS and the other
// formats base/ImageDecoding.h reads, found by their names as
// system/TexturePath.h finds them.

#include "gpu/Result.h"

#include <string>

namespace veskar {

class Device;
class Texture;

// Decodes the file and creates a texture on the device; a DDS file of BC1 to
// BC3 blocks goes to a device that draws them as it is. On failure reason,
// when given, says why: empty when there is no such file, otherwise what is
// wrong with it (it does not decode, it declares too large a picture).
Result createTextureFromFile(Device* device, const char* path, Texture** out, std::string* reason = nullptr);

// A plain light-grey texture to draw with in place of a file that cannot be
// loaded: the model then shows its shape and its light instead of black.
Result createStandInTexture(Device* device, Texture** out);

// The console line for a model's texture file: "[Texture] PATH" when it was
// loaded, "[Texture] not found: PATH" when there is no such file, and
// "[Texture] refused: PATH: REASON" when it could not be used.
std::string textureConsoleLine(const std::string& path, bool loaded, const std::string& reason);

} // namespace veskar
