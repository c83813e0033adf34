#pragma once
// What follows the reading of a reference: the corners carried into their
// bones' space, and where each material's texture file is.

#include "import/SmdRecords.h"

#include <string>
#include <vector>

namespace veskar {

// Fills bindVertices, three a triangle; false when there is no memory for them.
bool computeBindVertices(SmdMesh& mesh);

// One texture path a material: the model's folder joined to the material's name.
void setTexturePaths(SmdMesh& mesh, std::int32_t materialCount, const std::string& directory, const std::vector<std::string>& materialNames);

} // namespace veskar
