// BootDisk: the volume's FAT and root directory, read and changed byte by
// byte: finding a root entry (along the FAT32 root's cluster chain) and
// moving a file's clusters elsewhere.
#include "tests/qemu/boot_disk.h"

#include "fatdisk/on_disk_format.h"
#include "platform/byte_order.h"

namespace qemu_test {
namespace {

// Directory entries: the name and the two halves of the first cluster.
constexpr std::uint32_t kDirNameSize = 11;
constexpr std::uint32_t kDirClusterHighOffset = 20;  // 16-bit, FAT32 only
constexpr std::uint32_t kDirClusterLowOffset = 26;   // 16-bit
// FAT entries.
constexpr std::uint32_t kFirstDataCluster = fatdisk::kReservedFatEntries;
constexpr std::uint32_t kFat16EndOfChain = 0xFFF8;  // and above
constexpr std::uint32_t kFat32EndOfChain = 0x0FFFFFF8;
constexpr std::uint32_t kFat16LastCluster = 0xFFFF;  // what a file's last cluster gets
constexpr std::uint32_t kFat32LastCluster = 0x0FFFFFFF;
constexpr std::uint32_t kFat32EntryMask = 0x0FFFFFFF;
constexpr std::uint32_t kFreeCluster = 0;

std::uint32_t Le16(const std::vector<std::uint8_t>& bytes, std::uint32_t at) {
    return platform::LoadLe16(bytes.data() + at);
}
std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::uint32_t at) {
    return platform::LoadLe32(bytes.data() + at);
}
void PutLe16(std::vector<std::uint8_t>& bytes, std::uint32_t at, std::uint32_t value) {
    platform::StoreLe16(bytes.data() + at, value);
}
void PutLe32(std::vector<std::uint8_t>& bytes, std::uint32_t at, std::uint32_t value) {
    platform::StoreLe32(bytes.data() + at, value);
}

}  // namespace

BootDisk::Volume BootDisk::ReadVolume() const {
    const std::vector<std::uint8_t> boot = ReadSector(m_partitionStart);
    Volume volume;
    volume.clusterSize = boot[fatdisk::kBpbSectorsPerCluster];
    volume.fat32 = Le16(boot, fatdisk::kBpbSectorsPerFat16) == 0;
    volume.fatSectors = volume.fat32 ? Le32(boot, fatdisk::kFat32SectorsPerFat) : Le16(boot, fatdisk::kBpbSectorsPerFat16);
    volume.fatCount = boot[fatdisk::kBpbNumberOfFats];
    volume.fatStart = m_partitionStart + Le16(boot, fatdisk::kBpbReservedSectors);
    const std::uint32_t fatsEnd = volume.fatStart + volume.fatCount * volume.fatSectors;
    if (volume.fat32) {
        volume.rootCluster = Le32(boot, fatdisk::kFat32RootCluster);
        volume.dataStart = fatsEnd;
        volume.rootStart = ClusterSector(volume, volume.rootCluster);
        volume.rootSectors = volume.clusterSize;
    } else {
        volume.rootStart = fatsEnd;
        volume.rootSectors = (Le16(boot, fatdisk::kBpbRootEntries) * fatdisk::kDirEntrySize + kSectorSize - 1) / kSectorSize;
        volume.dataStart = fatsEnd + volume.rootSectors;
    }
    const std::uint32_t total =
        Le16(boot, fatdisk::kBpbTotalSectors16) != 0 ? Le16(boot, fatdisk::kBpbTotalSectors16) : Le32(boot, fatdisk::kBpbTotalSectors32);
    volume.clusterCount = (m_partitionStart + total - volume.dataStart) / volume.clusterSize;
    return volume;
}

std::uint32_t BootDisk::ClusterSector(const Volume& volume, std::uint32_t cluster) const {
    return volume.dataStart + (cluster - kFirstDataCluster) * volume.clusterSize;
}

std::uint32_t BootDisk::FatEntry(const Volume& volume, std::uint32_t cluster) const {
    const std::uint32_t width = volume.fat32 ? 4 : 2;
    const std::vector<std::uint8_t> sector = ReadSector(volume.fatStart + cluster * width / kSectorSize);
    const std::uint32_t at = cluster * width % kSectorSize;
    return volume.fat32 ? Le32(sector, at) & kFat32EntryMask : Le16(sector, at);
}

void BootDisk::SetFatEntry(const Volume& volume, std::uint32_t cluster, std::uint32_t value) const {
    const std::uint32_t width = volume.fat32 ? 4 : 2;
    for (std::uint32_t fat = 0; fat < volume.fatCount; ++fat) {
        const std::uint32_t lba = volume.fatStart + fat * volume.fatSectors + cluster * width / kSectorSize;
        std::vector<std::uint8_t> sector = ReadSector(lba);
        const std::uint32_t at = cluster * width % kSectorSize;
        if (volume.fat32) {
            PutLe32(sector, at, (Le32(sector, at) & ~kFat32EntryMask) | value);  // the top 4 bits stay
        } else {
            PutLe16(sector, at, value);
        }
        WriteSector(lba, sector);
    }
}

std::vector<std::uint32_t> BootDisk::Chain(const Volume& volume, std::uint32_t first) const {
    const std::uint32_t end = volume.fat32 ? kFat32EndOfChain : kFat16EndOfChain;
    std::vector<std::uint32_t> chain;
    for (std::uint32_t cluster = first; cluster >= kFirstDataCluster && cluster < end;
         cluster = FatEntry(volume, cluster)) {
        if (chain.size() > volume.clusterCount) break;  // a chain in a circle
        chain.push_back(cluster);
    }
    return chain;
}

std::uint32_t BootDisk::RootDirectoryStart() const { return ReadVolume().rootStart; }

std::uint32_t BootDisk::SectorsPerCluster() const { return ReadVolume().clusterSize; }

std::vector<std::uint32_t> BootDisk::RootClusters() const {
    const Volume volume = ReadVolume();
    return volume.fat32 ? Chain(volume, volume.rootCluster) : std::vector<std::uint32_t>{};
}

std::optional<BootDisk::EntryPlace> BootDisk::FindRootEntry(const std::string& storedName) const {
    const Volume volume = ReadVolume();
    std::vector<std::uint32_t> runs = {volume.rootStart};  // first sector of each run of rootSectors
    if (volume.fat32) {
        runs.clear();
        for (std::uint32_t cluster : Chain(volume, volume.rootCluster)) runs.push_back(ClusterSector(volume, cluster));
    }
    std::uint32_t index = 0;
    for (std::uint32_t run : runs) {
        for (std::uint32_t s = 0; s < volume.rootSectors; ++s) {
            const std::vector<std::uint8_t> sector = ReadSector(run + s);
            for (std::uint32_t at = 0; at < kSectorSize; at += fatdisk::kDirEntrySize, ++index) {
                if (std::string(sector.begin() + at, sector.begin() + at + kDirNameSize) == storedName) {
                    return EntryPlace{run + s, at, index};
                }
            }
        }
    }
    return std::nullopt;
}

std::uint32_t BootDisk::FirstSectorOf(const std::string& storedName) const {
    const std::optional<EntryPlace> place = FindRootEntry(storedName);
    if (!place) return 0;
    const Volume volume = ReadVolume();
    const std::vector<std::uint8_t> sector = ReadSector(place->sector);
    const std::uint32_t high = volume.fat32 ? Le16(sector, place->offset + kDirClusterHighOffset) : 0;
    const std::uint32_t cluster = Le16(sector, place->offset + kDirClusterLowOffset) | (high << 16);
    if (cluster < kFirstDataCluster) return 0;
    return ClusterSector(volume, cluster);
}

bool BootDisk::MoveFile(const std::string& storedName, std::uint32_t firstLba) {
    const Volume volume = ReadVolume();
    const std::optional<EntryPlace> place = FindRootEntry(storedName);
    if (!place) {
        m_error += "MoveFile: no " + storedName + " in the root directory\n";
        return false;
    }
    std::vector<std::uint8_t> entrySector = ReadSector(place->sector);
    const std::uint32_t high = volume.fat32 ? Le16(entrySector, place->offset + kDirClusterHighOffset) : 0;
    const std::vector<std::uint32_t> chain =
        Chain(volume, Le16(entrySector, place->offset + kDirClusterLowOffset) | (high << 16));
    const std::uint32_t length = static_cast<std::uint32_t>(chain.size());
    std::uint32_t target = kFirstDataCluster;
    if (firstLba > volume.dataStart) {
        target += (firstLba - volume.dataStart + volume.clusterSize - 1) / volume.clusterSize;
    }
    const auto isFree = [&](std::uint32_t cluster) { return FatEntry(volume, cluster) == kFreeCluster; };
    while (target + length <= kFirstDataCluster + volume.clusterCount) {
        std::uint32_t free = 0;
        while (free < length && isFree(target + free)) ++free;
        if (free == length) break;
        target += free + 1;
    }
    if (length == 0 || target + length > kFirstDataCluster + volume.clusterCount) {
        m_error += "MoveFile: no room for " + storedName + " at LBA " + std::to_string(firstLba) + "\n";
        return false;
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        for (std::uint32_t s = 0; s < volume.clusterSize; ++s) {
            WriteSector(ClusterSector(volume, target + i) + s, ReadSector(ClusterSector(volume, chain[i]) + s));
        }
        SetFatEntry(volume, chain[i], kFreeCluster);
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        SetFatEntry(volume, target + i, i + 1 < length ? target + i + 1 : (volume.fat32 ? kFat32LastCluster : kFat16LastCluster));
    }
    if (volume.fat32) PutLe16(entrySector, place->offset + kDirClusterHighOffset, target >> 16);
    PutLe16(entrySector, place->offset + kDirClusterLowOffset, target & 0xFFFF);
    WriteSector(place->sector, entrySector);
    return true;
}

}  // namespace qemu_test
