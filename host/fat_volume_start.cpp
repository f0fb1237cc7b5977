#include "host/fat_volume_start.h"

#include <cstring>

namespace platform::host {

namespace {

constexpr std::uint32_t kSignatureOffset = 510;       // 0x55 0xAA ends MBR and boot sectors
constexpr std::uint32_t kJumpOffset = 0;              // 0xEB xx 0x90 or 0xE9 xx xx
constexpr std::uint32_t kBytesPerSectorOffset = 11;   // 16-bit
constexpr std::uint32_t kNumberOfFatsOffset = 16;     // 8-bit
constexpr std::uint32_t kFirstEntryOffset = 446;      // four 16-byte partition entries
constexpr std::uint32_t kEntrySize = 16;
constexpr std::uint32_t kEntryCount = 4;
constexpr std::uint32_t kEntryTypeOffset = 4;
constexpr std::uint32_t kEntryStartLbaOffset = 8;     // 32-bit
// FAT12, FAT16 (small, large, LBA) and FAT32 (CHS, LBA) partition types.
constexpr std::uint8_t kFatTypes[] = {0x01, 0x04, 0x06, 0x0E, 0x0B, 0x0C};

std::uint32_t Little32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

bool HasSignature(const std::uint8_t* sector) {
    return sector[kSignatureOffset] == 0x55 && sector[kSignatureOffset + 1] == 0xAA;
}

}  // namespace

bool LooksLikeFatBootSector(const std::uint8_t* sector) {
    const bool jump = sector[kJumpOffset] == 0xE9 || (sector[kJumpOffset] == 0xEB && sector[kJumpOffset + 2] == 0x90);
    const std::uint32_t bytesPerSector = sector[kBytesPerSectorOffset] | sector[kBytesPerSectorOffset + 1] << 8;
    return HasSignature(sector) && jump && bytesPerSector == 512 && sector[kNumberOfFatsOffset] != 0;
}

std::optional<std::uint32_t> FirstFatPartitionStart(const std::uint8_t* mbr) {
    if (!HasSignature(mbr)) return std::nullopt;
    for (std::uint32_t index = 0; index < kEntryCount; ++index) {
        const std::uint8_t* entry = mbr + kFirstEntryOffset + index * kEntrySize;
        const std::uint8_t type = entry[kEntryTypeOffset];
        const std::uint32_t start = Little32(entry + kEntryStartLbaOffset);
        if (start != 0 && std::memchr(kFatTypes, type, sizeof kFatTypes) != nullptr) return start;
    }
    return std::nullopt;
}

}  // namespace platform::host
