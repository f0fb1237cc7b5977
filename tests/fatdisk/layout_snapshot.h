// Every field a layout computes, for comparing two layouts.
#pragma once

#include <cstdint>
#include <ostream>

#include "fatdisk/fat_disk_builder.h"

struct LayoutSnapshot {
    std::uint32_t totalSectors, sectorsPerCluster, bytesPerSector, sectorsPerFat, reservedSectors, rootEntries,
        dataStart, partitionStart, heads, sectorsPerTrack, cylinders, rootDirSectors, firstDataSector,
        partitionSectors;
    bool isFat16, isFat32;
    std::int32_t activeLayoutMode;

    static LayoutSnapshot Of(const CFatDiskBuilder& b) {
        return {b.m_totalSectors,    b.m_sectorsPerCluster, b.m_bytesPerSector, b.m_sectorsPerFat,
                b.m_reservedSectors, b.m_rootEntries,       b.m_dataStart,      b.m_partitionStart,
                b.m_heads,           b.m_sectorsPerTrack,   b.m_cylinders,      b.m_rootDirSectors,
                b.m_firstDataSector, b.PartitionSectors(),  b.m_isFat16,        b.m_isFat32,
                b.m_activeLayoutMode};
    }
    bool operator==(const LayoutSnapshot&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const LayoutSnapshot& s) {
    return out << "{total " << s.totalSectors << ", " << (s.isFat16 ? "FAT16" : "FAT32") << ", spc "
               << s.sectorsPerCluster << ", fat " << s.sectorsPerFat << ", reserved " << s.reservedSectors
               << ", start " << s.partitionStart << ", data " << s.dataStart << ", partition " << s.partitionSectors
               << ", chs " << s.cylinders << "/" << s.heads << "/" << s.sectorsPerTrack << ", mode "
               << s.activeLayoutMode << "}";
}
