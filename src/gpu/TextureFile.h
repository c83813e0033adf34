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
// problem goes into the texture's problem: why the file was not used.
Result createStandInTexture(Device* device, Texture** out, const std::string& problem = {});

} // namespace veskar
