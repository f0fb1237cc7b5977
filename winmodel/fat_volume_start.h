// Where the volume behind a disk's drive letter starts, as the system reads
// it from the disk when the disk starts (plugged in, restarted) or is told
// to read its partition table again: the first partition of the MBR's
// table, whatever that partition holds; a disk without a partition table is
// one volume from sector 0 (a "superfloppy", where a FAT boot sector in
// sector 0 is the volume's own). When sector 0 is a FAT boot sector whose
// boot code happens to look like a partition table, the table counts only
// if a FAT boot sector is where it points.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace platform {

// Reads one 512-byte sector of the disk; false when it cannot.
using ReadDiskSector = std::function<bool(std::uint32_t lba, std::uint8_t* sector)>;

// The volume's first sector; empty when sector 0 cannot be read.
std::optional<std::uint32_t> ReadVolumeStartFromDisk(const ReadDiskSector& read);

// The checks behind it, on 512-byte sectors.
bool LooksLikeFatBootSector(const std::uint8_t* sector);
// The start of the first entry of a valid MBR partition table (boot
// indicators 0x00 or 0x80) that has a partition type and a start.
std::optional<std::uint32_t> FirstPartitionStart(const std::uint8_t* mbr);

}  // namespace platform
