#pragma once
// Texture files named by models: BMP, TGA, PNG, JPG and the other formats
// stb_image reads, found by their names as system/TexturePath.h finds them.

#include "gpu/Result.h"

#include <string>

namespace veskar {

class Device;
class Texture;

// Decodes the file and creates a texture on the device.
Result createTextureFromFile(Device* device, const char* path, Texture** out);

// A plain light-grey texture to draw with in place of a file that cannot be
// loaded: the model then shows its shape and its light instead of black.
Result createStandInTexture(Device* device, Texture** out);

} // namespace veskar
