// Reading a stick's image on the host after the guest has made it: its
// sectors, its first partition, whether anything was written at all, and the
// areas of a FAT volume that a make writes and no file system driver
// changes afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wine_guest {

inline constexpr std::uint32_t kSectorBytes = 512;

// count sectors from lba on; shorter at the end of the file.
std::vector<std::uint8_t> ReadSectors(const std::string& image, std::uint64_t lba, std::uint32_t count);
// The first MBR entry's start LBA (0 when there is no MBR).
std::uint32_t PartitionStart(const std::string& image);
// True when the (sparse) image holds no data at all: nothing was written.
bool NothingWritten(const std::string& image);

// The sectors of the MBR area, the reserved area and the head of each FAT
// (its reserved entries) of the volume at the first partition, as one byte
// string, with what a file system driver may update in the FSInfo sector
// (free count and next free cluster) left out. Empty when the image has
// no FAT volume there.
std::vector<std::uint8_t> BuiltAreas(const std::string& image, std::string* description);

}  // namespace wine_guest
