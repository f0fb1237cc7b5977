#include "tests/wine_guest/program/boot_sector_volume.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <cstring>

namespace {

constexpr DWORD kSectorBytes = 512;
constexpr std::size_t kFirstPartitionStart = 0x1C6;  // MBR: LBA of the first entry
constexpr std::size_t kSignatureOffset = 510;         // 55 AA
// FAT12/16 extended BPB: signature byte, serial, label, type text.
constexpr std::size_t kFat16BootSignature = 0x26;
constexpr std::size_t kFat16Serial = 0x27;
constexpr std::size_t kFat16Label = 0x2B;
constexpr std::size_t kFat16Type = 0x36;
// FAT32 extended BPB.
constexpr std::size_t kFat32BootSignature = 0x42;
constexpr std::size_t kFat32Serial = 0x43;
constexpr std::size_t kFat32Label = 0x47;
constexpr std::size_t kFat32Type = 0x52;
constexpr std::size_t kLabelLength = 11;
constexpr unsigned char kExtendedBootSignature = 0x29;

std::uint32_t Le32(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

bool ReadSector(HANDLE device, std::uint64_t lba, unsigned char* sector) {
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(lba * kSectorBytes);
    DWORD got = 0;
    return SetFilePointerEx(device, offset, nullptr, FILE_BEGIN) &&
           ReadFile(device, sector, kSectorBytes, &got, nullptr) && got == kSectorBytes &&
           sector[kSignatureOffset] == 0x55 && sector[kSignatureOffset + 1] == 0xAA;
}

}  // namespace

BootSectorVolume ReadFirstPartitionVolume(const char* rootPath) {
    BootSectorVolume volume;
    if (rootPath == nullptr || rootPath[0] == '\0') return volume;
    const char path[] = {'\\', '\\', '.', '\\', rootPath[0], ':', '\0'};
    HANDLE device = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) return volume;
    unsigned char mbr[kSectorBytes];
    unsigned char boot[kSectorBytes];
    const bool read = ReadSector(device, 0, mbr) && ReadSector(device, Le32(mbr + kFirstPartitionStart), boot);
    CloseHandle(device);
    if (!read) return volume;

    std::size_t serialAt = 0;
    std::size_t labelAt = 0;
    if (boot[kFat32BootSignature] == kExtendedBootSignature && std::memcmp(boot + kFat32Type, "FAT32", 5) == 0) {
        serialAt = kFat32Serial;
        labelAt = kFat32Label;
        volume.fileSystem = "FAT32";
    } else if (boot[kFat16BootSignature] == kExtendedBootSignature && std::memcmp(boot + kFat16Type, "FAT", 3) == 0) {
        serialAt = kFat16Serial;
        labelAt = kFat16Label;
        volume.fileSystem = "FAT";
    } else {
        return volume;
    }
    volume.found = true;
    volume.serial = Le32(boot + serialAt);
    volume.label.assign(reinterpret_cast<const char*>(boot + labelAt), kLabelLength);
    while (!volume.label.empty() && volume.label.back() == ' ') volume.label.pop_back();
    return volume;
}
