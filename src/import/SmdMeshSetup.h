#pragma once
// What follows the reading of a reference: the corners carried into their
// bones' space, and the mesh's textures and vertex buffer on the device.

#include "import/SmdModel.h"

#include <string>
#include <vector>

namespace veskar {

// Fills bindVertices, three a triangle; false when there is no memory for them.
bool computeBindVertices(SmdMesh& mesh);

// One texture per material (a light-grey stand-in for a file that cannot be
// loaded) and the vertex buffer; without a device only the texture paths.
void uploadSmdMesh(SmdMesh& mesh, Device* device, std::int32_t materialCount, const std::string& directory,
                                 const std::vector<std::string>& materialNames);

} // namespace veskar
