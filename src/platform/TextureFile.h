#pragma once
// Texture files named by models: BMP, TGA, PNG, JPG and the other formats
// stb_image reads. Names come from Windows users, so '\' separates folders and
// a file that does not exist under its exact name is looked for ignoring case.

#include "platform/Result.h"

#include <string>

namespace veskar {

class Device;
class Texture;

// The path on disk that a model's texture name refers to, or the name made
// portable when nothing matches.
std::string resolveTexturePath(const std::string& path);

// Decodes the file and creates a texture on the device.
Result createTextureFromFile(Device* device, const char* path, Texture** out);

// A plain light-grey texture to draw with in place of a file that cannot be
// loaded: the model then shows its shape and its light instead of black.
Result createStandInTexture(Device* device, Texture** out);

} // namespace veskar
