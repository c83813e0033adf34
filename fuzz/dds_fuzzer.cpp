// The DDS reader and decoder on arbitrary bytes after the "DDS " magic: every
// file read is held whole by the bytes given, within the size limits, and
// decodes to exactly its declared pixels.

#include "FuzzSupport.h"

#include "base/DdsFile.h"
#include "base/ImageDecoding.h"
#include "base/ImageLimits.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace veskar;

// The reader takes bytes, not a file: the name goes unused.
VESKAR_FUZZ_TARGET("texture.dds")
{
    (void)name;
    // Inputs without the magic would only test that it is looked for.
    std::vector<std::uint8_t> bytes{'D', 'D', 'S', ' '};
    const bool hasMagic = text.substr(0, 4) == "DDS ";
    bytes.insert(bytes.end(), text.begin() + (hasMagic ? 4 : 0), text.end());
    const std::span<const std::uint8_t> file(bytes);

    DdsImage dds;
    std::string reason;
    if (!readDds(file, dds, reason)) {
        VESKAR_FUZZ_CHECK(!reason.empty(), "refused without a reason");
        DecodedImage image;
        std::string again;
        VESKAR_FUZZ_CHECK(!decodeImage(file, image, again) && again == reason, "the decoder takes a file the reader refuses: " + reason);
        return 0;
    }
    const std::string size_ = std::to_string(dds.width) + " x " + std::to_string(dds.height);
    VESKAR_FUZZ_CHECK(dds.width >= 1 && dds.height >= 1 && dds.width <= kMaxImageSide && dds.height <= kMaxImageSide, size_);
    VESKAR_FUZZ_CHECK(static_cast<std::uint64_t>(dds.width) * static_cast<std::uint64_t>(dds.height) * 4 <= kMaxImageBytes, size_);
    VESKAR_FUZZ_CHECK(dds.levels >= 1 && (dds.compressed || dds.levels == 1), std::to_string(dds.levels) + " levels");
    VESKAR_FUZZ_CHECK(dds.data.data() >= file.data() && dds.data.data() + dds.data.size() <= file.data() + file.size(), "levels outside the file");
    std::uint64_t levelBytes = 0;
    for (int level = 0; level < dds.levels; ++level)
        levelBytes += ddsLevelBytes(dds, std::max(dds.width >> level, 1), std::max(dds.height >> level, 1));
    VESKAR_FUZZ_CHECK(levelBytes == dds.data.size(), "the levels' bytes are not the data's");

    DecodedImage image;
    VESKAR_FUZZ_CHECK(decodeImage(file, image, reason), "a file read does not decode: " + reason);
    VESKAR_FUZZ_CHECK(image.width == dds.width && image.height == dds.height && image.rgba().size() == image.byteCount(), size_);
    VESKAR_FUZZ_CHECK(image.channels == 3 || image.channels == 4, std::to_string(image.channels) + " channels");
    return 0;
}
