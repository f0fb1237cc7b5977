// vorn_write_layout_image IMAGE SECTORS [--mode M] [--label LABEL]
//
// Writes the areas a build puts on a device of SECTORS sectors into a sparse
// image file, with the builder's image operations and no device: the MBR
// area, the reserved area, both FATs over their full length and the root
// area (FAT16: the root directory; FAT32: the root cluster) with the
// volume-label entry. Prints where the partition lies so that scripts can
// reach the volume (mtools -i IMAGE@@OFFSET, or a copy of the partition):
//   partition_offset: <bytes>   partition_bytes: <bytes>   used_bytes: <bytes>
// where used_bytes counts from the partition start to the end of the root area.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"
#include "fatdisk/volume_label.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr char kDefaultLabel[] = "USBHDDBOOT";

int Usage(const std::string& problem) {
    std::cerr << "vorn_write_layout_image: " << problem << "\n"
              << "usage: vorn_write_layout_image IMAGE SECTORS [--mode 0|1|2] [--label LABEL]\n";
    return kExitUsage;
}

bool ParseNumber(std::string_view text, std::uint64_t limit, std::uint64_t& value) {
    if (text.empty() || text.size() > 10) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= limit;
}

std::vector<std::uint8_t> ZeroSectors(std::uint32_t sectors) {
    return std::vector<std::uint8_t>(std::size_t{sectors} * fatdisk::kSectorSize, 0);
}

class ImageWriter {
public:
    explicit ImageWriter(std::fstream& file) : m_file(file) {}
    void Write(std::uint32_t firstLba, const std::vector<std::uint8_t>& area) {
        m_file.seekp(static_cast<std::streamoff>(std::uint64_t{firstLba} * fatdisk::kSectorSize));
        m_file.write(reinterpret_cast<const char*>(area.data()), static_cast<std::streamsize>(area.size()));
    }

private:
    std::fstream& m_file;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    std::string label = kDefaultLabel;
    std::uint64_t mode = 0;
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--mode" || args[i] == "--label") {
            if (i + 1 == args.size()) return Usage(std::string(args[i]) + " needs a value");
            const std::string_view value = args[++i];
            if (args[i - 1] == "--label") {
                label = value;
            } else if (!ParseNumber(value, 2, mode)) {
                return Usage("--mode must be 0, 1 or 2");
            }
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) return Usage("expected IMAGE and SECTORS");
    std::uint64_t sectors = 0;
    if (!ParseNumber(positional[1], 0xFFFFFFFFu, sectors)) return Usage("SECTORS must be a 32-bit count");

    CFatDiskBuilder builder('?');
    builder.m_layoutMode = static_cast<std::int32_t>(mode);
    if (!builder.Setup(static_cast<std::uint32_t>(sectors), label, false)) {
        std::cerr << "vorn_write_layout_image: " << builder.m_errorText << "\n";
        return kExitUsage;
    }
    const std::uint32_t start = builder.m_partitionStart;
    const std::uint32_t reserved = builder.m_reservedSectors;
    const std::uint32_t fat = builder.m_sectorsPerFat;
    if (builder.m_isFat32 && reserved < fatdisk::kFat32MinReservedSectors) {
        std::cerr << "vorn_write_layout_image: FAT32 reserved area of fewer than 8 sectors\n";
        return kExitFailed;
    }

    const std::filesystem::path path(positional[0]);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    if (!file) {
        std::cerr << "vorn_write_layout_image: cannot create " << path << "\n";
        return kExitFailed;
    }
    std::error_code error;
    std::filesystem::resize_file(path, sectors * fatdisk::kSectorSize, error);
    if (error) {
        std::cerr << "vorn_write_layout_image: cannot size " << path << ": " << error.message() << "\n";
        return kExitFailed;
    }

    ImageWriter image(file);
    if (start != 0) {
        std::vector<std::uint8_t> mbrArea = ZeroSectors(start);
        builder.MakeMbr(mbrArea.data());
        image.Write(0, mbrArea);
    }
    std::vector<std::uint8_t> reservedArea = ZeroSectors(reserved);
    if (builder.m_isFat16) {
        builder.MakeFat16BootSector(reservedArea.data());
    } else {
        builder.MakeFat32BootArea(reservedArea.data());
    }
    image.Write(start, reservedArea);

    std::vector<std::uint8_t> fatArea = ZeroSectors(fat);
    builder.MakeFatHead(fatArea.data());
    image.Write(start + reserved, fatArea);
    image.Write(start + reserved + fat, fatArea);

    const std::uint32_t rootSectors = builder.m_isFat16 ? builder.m_rootDirSectors : builder.m_sectorsPerCluster;
    std::vector<std::uint8_t> rootArea = ZeroSectors(rootSectors);
    fatdisk::WriteVolumeLabelEntry(rootArea.data(), builder.m_volumeLabel);
    image.Write(start + reserved + 2 * fat, rootArea);

    file.close();
    if (!file) {
        std::cerr << "vorn_write_layout_image: cannot write " << path << "\n";
        return kExitFailed;
    }
    const std::uint64_t used = std::uint64_t{reserved} + 2 * std::uint64_t{fat} + rootSectors;
    std::cout << "partition_offset: " << std::uint64_t{start} * fatdisk::kSectorSize << "\n"
              << "partition_bytes: " << std::uint64_t{builder.PartitionSectors()} * fatdisk::kSectorSize << "\n"
              << "used_bytes: " << used * fatdisk::kSectorSize << "\n";
    return 0;
}
