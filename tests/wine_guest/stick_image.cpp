#include "tests/wine_guest/stick_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "fatdisk/on_disk_format.h"
#include "platform/byte_order.h"

namespace wine_guest {

namespace {

std::uint32_t Le16(const std::vector<std::uint8_t>& bytes, std::size_t at) { return platform::LoadLe16(&bytes[at]); }

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) { return platform::LoadLe32(&bytes[at]); }

bool IsFsInfo(const std::uint8_t* sector) {
    return std::memcmp(sector + fatdisk::kFsInfoLeadSignature, fatdisk::kFsInfoLeadSignatureText, 4) == 0 &&
           std::memcmp(sector + fatdisk::kFsInfoStructSignature, fatdisk::kFsInfoStructSignatureText, 4) == 0;
}

}  // namespace

std::vector<std::uint8_t> ReadSectors(const std::string& image, std::uint64_t lba, std::uint32_t count) {
    std::vector<std::uint8_t> bytes(std::size_t{count} * kSectorBytes);
    const int fd = ::open(image.c_str(), O_RDONLY);
    if (fd < 0) return {};
    const ssize_t got = ::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(lba * kSectorBytes));
    ::close(fd);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

std::uint32_t PartitionStart(const std::string& image) {
    const std::vector<std::uint8_t> mbr = ReadSectors(image, 0, 1);
    if (mbr.size() < kSectorBytes || mbr[fatdisk::kBootSignatureOffset] != fatdisk::kBootSignature0 ||
        mbr[fatdisk::kBootSignatureOffset + 1] != fatdisk::kBootSignature1) {
        return 0;
    }
    return Le32(mbr, fatdisk::kMbrEntry1 + fatdisk::kEntryStartLba);
}

bool NothingWritten(const std::string& image) {
    const int fd = ::open(image.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const off_t data = ::lseek(fd, 0, SEEK_DATA);
    ::close(fd);
    return data < 0;
}

std::vector<std::uint8_t> BuiltAreas(const std::string& image, std::string* description) {
    const std::uint32_t start = PartitionStart(image);
    if (start == 0) return {};
    std::vector<std::uint8_t> areas = ReadSectors(image, 0, start);
    const std::vector<std::uint8_t> boot = ReadSectors(image, start, 1);
    if (boot.size() < kSectorBytes) return {};
    const std::uint32_t reserved = Le16(boot, fatdisk::kBpbReservedSectors);
    const std::uint32_t fats = boot[fatdisk::kBpbNumberOfFats];
    const std::uint32_t fat16Size = Le16(boot, fatdisk::kBpbSectorsPerFat16);
    const bool fat32 = fat16Size == 0;
    const std::uint32_t fatSize = fat32 ? Le32(boot, fatdisk::kFat32SectorsPerFat) : fat16Size;
    if (reserved == 0 || fats == 0 || fatSize == 0) return {};

    std::vector<std::uint8_t> reservedArea = ReadSectors(image, start, reserved);
    for (std::size_t at = 0; at + kSectorBytes <= reservedArea.size(); at += kSectorBytes) {
        std::uint8_t* sector = reservedArea.data() + at;
        if (!IsFsInfo(sector)) continue;
        std::memset(sector + fatdisk::kFsInfoFreeCount, 0, 4);
        std::memset(sector + fatdisk::kFsInfoNextFree, 0, 4);
    }
    areas.insert(areas.end(), reservedArea.begin(), reservedArea.end());
    const std::size_t headBytes = fat32 ? sizeof fatdisk::kFat32Head : sizeof fatdisk::kFat16Head;
    for (std::uint32_t fat = 0; fat < fats; ++fat) {
        const std::vector<std::uint8_t> head = ReadSectors(image, std::uint64_t{start} + reserved + fat * fatSize, 1);
        if (head.size() < headBytes) return {};
        areas.insert(areas.end(), head.begin(), head.begin() + static_cast<std::ptrdiff_t>(headBytes));
    }
    if (description != nullptr) {
        *description = std::string(fat32 ? "FAT32" : "FAT16") + " at " + std::to_string(start) + ", " +
                       std::to_string(reserved) + " reserved, " + std::to_string(fats) + " FATs of " +
                       std::to_string(fatSize);
    }
    return areas;
}

}  // namespace wine_guest
