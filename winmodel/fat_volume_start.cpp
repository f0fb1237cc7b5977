#include "winmodel/fat_volume_start.h"

#include "fatdisk/on_disk_format.h"
#include "platform/byte_order.h"

namespace platform {

using namespace fatdisk;

namespace {

constexpr std::uint8_t kPartitionTypeGptProtective = 0xEE;  // a GPT disk: no MBR partitions

bool HasSignature(const std::uint8_t* sector) {
    return sector[kBootSignatureOffset] == kBootSignature0 && sector[kBootSignatureOffset + 1] == kBootSignature1;
}

}  // namespace

bool LooksLikeFatBootSector(const std::uint8_t* sector) {
    const bool jump = sector[kBsJump] == kJumpNear || (sector[kBsJump] == kJumpShort && sector[kBsJump + 2] == kJumpShortNop);
    const std::uint32_t bytesPerSector = LoadLe16(sector + kBpbBytesPerSector);
    return HasSignature(sector) && jump && bytesPerSector == kSectorSize && sector[kBpbNumberOfFats] != 0;
}

std::optional<std::uint32_t> FirstPartitionStart(const std::uint8_t* mbr) {
    if (!HasSignature(mbr)) return std::nullopt;
    std::optional<std::uint32_t> first;
    for (std::uint32_t index = 0; index < kMbrEntryCount; ++index) {
        const std::uint8_t* entry = mbr + kMbrEntry1 + index * kMbrEntrySize;
        const std::uint8_t indicator = entry[kEntryBootIndicator];
        if (indicator != 0 && indicator != kActivePartition) return std::nullopt;
        const std::uint8_t type = entry[kEntryType];
        const std::uint32_t start = LoadLe32(entry + kEntryStartLba);
        if (type == kPartitionTypeGptProtective) return std::nullopt;
        if (!first && type != 0 && start != 0) first = start;
    }
    return first;
}

std::optional<std::uint32_t> ReadVolumeStartFromDisk(const ReadDiskSector& read) {
    std::uint8_t sector[kSectorSize];
    if (!read(0, sector)) return std::nullopt;
    const bool bootSectorFirst = LooksLikeFatBootSector(sector);
    const std::optional<std::uint32_t> partition = FirstPartitionStart(sector);
    if (!partition) return 0;
    if (!bootSectorFirst) return partition;
    return read(*partition, sector) && LooksLikeFatBootSector(sector) ? *partition : 0;
}

}  // namespace platform
