#pragma once
// The glTF library as this folder uses it, the same in every file that
// includes it: images are never decoded or fetched by the library (their
// bytes are taken as they are, or found by their names).

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE_WRITE
#include <tiny_gltf.h>
