// The image file a make writes: an existing file is taken as it is (a size
// given must match it); a missing one is created sparse with the size.
// Nothing is created or changed when the checks fail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

struct ImageTarget {
    std::string path;
    std::uint32_t sectors = 0;
    bool created = false;
    std::string error;  // empty when the image is ready
    bool badSize = false;  // the error is about the size asked for
};

// sectors: the size asked for, or empty for an existing file's own size
// (kDefaultImageSectors for a new one).
ImageTarget PrepareImage(const std::string& path, std::optional<std::uint32_t> sectors);

// Removes an image PrepareImage created, when nothing was written to it.
void RemoveCreatedImage(const ImageTarget& target);

}  // namespace cli
