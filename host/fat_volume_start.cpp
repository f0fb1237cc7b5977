#include "host/fat_volume_start.h"

#include <cstring>

#include "fatdisk/on_disk_format.h"
#include "platform/byte_order.h"

namespace platform::host {

using namespace fatdisk;

namespace {

// FAT12, FAT16 (small, large, LBA) and FAT32 (CHS, LBA) partition types.
constexpr std::uint8_t kFatTypes[] = {kPartitionTypeFat12,    kPartitionTypeFat16, kPartitionTypeFat16Large,
                                      kPartitionTypeFat16Lba, kPartitionTypeFat32, kPartitionTypeFat32Lba};

bool HasSignature(const std::uint8_t* sector) {
    return sector[kBootSignatureOffset] == kBootSignature0 && sector[kBootSignatureOffset + 1] == kBootSignature1;
}

}  // namespace

bool LooksLikeFatBootSector(const std::uint8_t* sector) {
    const std::uint8_t* jumpBytes = sector + kBsJump;
    const bool jump = jumpBytes[0] == kJumpNear || (jumpBytes[0] == kJumpShort && jumpBytes[2] == kJumpShortNop);
    const std::uint32_t bytesPerSector = LoadLe16(sector + kBpbBytesPerSector);
    return HasSignature(sector) && jump && bytesPerSector == kSectorSize && sector[kBpbNumberOfFats] != 0;
}

std::optional<std::uint32_t> FirstFatPartitionStart(const std::uint8_t* mbr) {
    if (!HasSignature(mbr)) return std::nullopt;
    for (std::uint32_t index = 0; index < kMbrEntryCount; ++index) {
        const std::uint8_t* entry = mbr + kMbrEntry1 + index * kMbrEntrySize;
        const std::uint8_t type = entry[kEntryType];
        const std::uint32_t start = LoadLe32(entry + kEntryStartLba);
        if (start != 0 && std::memchr(kFatTypes, type, sizeof kFatTypes) != nullptr) return start;
    }
    return std::nullopt;
}

}  // namespace platform::host
