#pragma once
// Large synthetic SMD files for benchmarking the readers and the converter:
// a reference whose triangles share corners the way exported meshes do, and
// a long animation on the same bone chain.

#include <cstdint>
#include <string>

namespace veskar::sample {

constexpr long long kMaxLargeTriangles = 20'000'000;
constexpr int kMaxLargeBones = 4096;
constexpr long long kMaxLargeBoneKeys = 100'000'000; // bones x frames

struct LargeReferenceOptions {
    long long triangles = 200000;
    int bones = 50;
    std::uint64_t seed = 1;
    int links = 0;   // 1 to 4: that many links at every corner; 0: 1 to 4 by region
    // Another exporter's layout of the same mesh: shortest decimals instead
    // of "%f", groups set apart by two blanks, links by bone number and none
    // written for a corner on one bone, four materials by region.
    bool outside = false;
};

struct LargeAnimationOptions {
    int bones = 50;
    int frames = 2000;
};

// Both return false with a message in error for options out of range or a
// file that cannot be written.
bool writeLargeReference(const std::string& path, const LargeReferenceOptions& options, std::string& error);
bool writeLargeAnimation(const std::string& path, const LargeAnimationOptions& options, std::string& error);

} // namespace veskar::sample
