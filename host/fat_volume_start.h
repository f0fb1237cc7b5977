// Where the FAT volume of a disk starts, as a system finds it when it mounts
// the disk: the first FAT partition of the MBR's table when a FAT boot
// sector is there; otherwise a disk whose first sector is a FAT boot sector
// is one volume from sector 0.
#pragma once

#include <cstdint>
#include <optional>

#include "fatdisk/on_disk_format.h"

namespace platform::host {

// sector0 and the candidate boot sector are read through readSector; the
// result is the volume's first sector, or empty when there is no FAT
// volume to mount.
template <typename ReadSector>
std::optional<std::uint32_t> FindFatVolumeStart(ReadSector&& readSector);

// The checks behind it, on 512-byte sectors.
bool LooksLikeFatBootSector(const std::uint8_t* sector);
// The start of the first MBR entry with a FAT partition type, or empty.
std::optional<std::uint32_t> FirstFatPartitionStart(const std::uint8_t* mbr);

template <typename ReadSector>
std::optional<std::uint32_t> FindFatVolumeStart(ReadSector&& readSector) {
    std::uint8_t sector[fatdisk::kSectorSize];
    if (!readSector(0, sector)) return std::nullopt;
    const bool wholeDiskVolume = LooksLikeFatBootSector(sector);
    const std::optional<std::uint32_t> start = FirstFatPartitionStart(sector);
    if (start && readSector(*start, sector) && LooksLikeFatBootSector(sector)) return start;
    if (wholeDiskVolume) return 0;
    return std::nullopt;
}

}  // namespace platform::host
