#pragma once
// check on a glTF character: its mesh and skeleton as ref takes them, each
// animation as ani samples it. A glTF has no lines: findings name the joint,
// material, triangle and corner, or animation instead.

#include "convert/EngineLimits.h"
#include "gltf/GltfConvert.h"

#include <string>

namespace veskar {

LimitCheck checkGltfLimits(const std::string& path, EngineTarget target, const GltfConvertOptions& options);

} // namespace veskar
