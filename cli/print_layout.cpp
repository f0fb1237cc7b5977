#include "cli/print_layout.h"

#include <cstdio>
#include <string>

#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"

namespace cli {

namespace {

constexpr int kExitRefused = 2;
// The dry run opens no device; the letter only names the builder's target.
constexpr char kNoDrive = '?';

// The partition type as the MBR image states it.
unsigned PartitionType(const CFatDiskBuilder& builder) {
    std::uint8_t mbr[fatdisk::kSectorSize] = {};
    builder.MakeMbr(mbr);
    return mbr[fatdisk::kMbrEntry1 + fatdisk::kEntryType];
}

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

}  // namespace

void WriteLayout(std::ostream& out, const CFatDiskBuilder& b) {
    out << "type: " << (b.m_isFat16 ? "FAT16" : "FAT32") << '\n'
        << "heads: " << b.m_heads << '\n'
        << "sectors_per_track: " << b.m_sectorsPerTrack << '\n'
        << "cylinders: " << b.m_cylinders << '\n'
        << "sectors_per_cluster: " << b.m_sectorsPerCluster << '\n'
        << "sectors_per_fat: " << b.m_sectorsPerFat << '\n'
        << "reserved_sectors: " << b.m_reservedSectors << '\n'
        << "root_dir_sectors: " << b.m_rootDirSectors << '\n'
        << "partition_start: " << b.m_partitionStart << '\n'
        << "partition_sectors: " << b.PartitionSectors() << '\n'
        << "data_start: " << b.m_dataStart << '\n'
        << "first_data_sector: " << b.m_firstDataSector << '\n'
        << "clusters: " << b.ClusterCount() << '\n'
        << "partition_type: " << Hex2(PartitionType(b)) << '\n';
}

int PrintLayout(std::uint32_t sectors, std::int32_t layoutMode, std::ostream& out, std::ostream& err) {
    CFatDiskBuilder builder(kNoDrive);
    builder.m_layoutMode = layoutMode;
    if (!builder.Setup(sectors, std::string(), false)) {
        err << "makevorndisk: " << builder.m_errorText << '\n';
        return kExitRefused;
    }
    WriteLayout(out, builder);
    return 0;
}

}  // namespace cli
