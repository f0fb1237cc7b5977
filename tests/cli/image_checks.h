// What a made image holds, read with mtools as an operator would check it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace cli_test {

// The byte offset of the image's volume, from its partition table.
std::uint64_t VolumeOffset(const std::filesystem::path& image);

// mdir's bare listing of the volume's root ("::/IO.SYS" a line).
std::string RootListing(const std::filesystem::path& image);

// The listing a made image shows: the eight payload files, in the order
// they are copied.
std::string EightFilesListing();

}  // namespace cli_test
