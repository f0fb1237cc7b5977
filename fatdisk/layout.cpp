// Geometry and FAT layout: from the device's sector count alone, a CHS
// geometry, the FAT type, the cluster size, the size of one FAT and the
// places of the partition and its areas. Pure arithmetic on the builder's
// fields; the device is only touched by BuildDisk when Setup asks for it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"

using namespace fatdisk;

namespace {

constexpr std::uint32_t kHeads = 16;
constexpr std::uint32_t kLargeGeometryFrom = 32768;  // from here on 63 sectors per track
constexpr std::uint32_t kSectorsPerTrackLarge = 63;
constexpr std::uint32_t kSectorsPerTrackSmall = 32;
constexpr std::uint32_t kLargestFat16Capacity = 4194304;  // above this the volume is FAT32

constexpr std::uint32_t kFat16ReservedSectors = 6;
constexpr std::uint32_t kFat16RootDirSectors = kFat16RootEntries * kDirEntrySize / kSectorSize;
constexpr std::uint32_t kFat32ReservedSectors = 32;

// The FAT16 FAT-size estimate adds this to the partition's sectors.
constexpr std::uint32_t kFat16EstimateSlack = 26;
// Mode 2 aligns a point this far past the first data sector when m_alignPad is set.
constexpr std::uint32_t kFat16AlignPad = 64;
constexpr std::uint32_t kFat32AlignPad = 256;
// Mode 2 grows the FAT32 reserved area to this unit when m_alignUnit is 0.
constexpr std::uint32_t kFat32ReservedAlign = 8192;
// Mode 2 keeps the FAT32 start at or below this, moving whole steps into the reserved area.
constexpr std::uint32_t kFat32LargestStart = 16064;
constexpr std::uint32_t kFat32StartStep = 8192;

constexpr char kCapacityTooSmall[] = "Capacity Too Small";
constexpr char kReservedAreaTooLarge[] = "Reserved Area Too Large";

// Cluster sizes by device capacity, after the disk-size tables of
// Microsoft's published FAT file system document (fatgen103): the first
// row whose limit is at least the capacity wins; 0 means no valid size.
struct ClusterSizeRow {
    std::uint32_t upToSectors;
    std::uint32_t sectorsPerCluster;
};
constexpr ClusterSizeRow kFat16ClusterSizes[] = {
    {8400, 0}, {32680, 2}, {262144, 4}, {524288, 8}, {1048576, 16}, {2097152, 32}, {4194304, 64},
};
constexpr ClusterSizeRow kFat32ClusterSizes[] = {
    {66600, 0}, {532480, 1}, {16777216, 8}, {33554432, 16}, {67108864, 32}, {4294967295u, 64},
};

template <std::size_t Rows>
std::uint32_t ClusterSizeFor(const ClusterSizeRow (&table)[Rows], std::uint32_t totalSectors) {
    for (const ClusterSizeRow& row : table) {
        if (row.upToSectors >= totalSectors) return row.sectorsPerCluster;
    }
    return 0;
}

bool IsFat16Capacity(std::uint32_t totalSectors) { return totalSectors <= kLargestFat16Capacity; }

std::uint32_t ClusterSizeForCapacity(std::uint32_t totalSectors) {
    return IsFat16Capacity(totalSectors) ? ClusterSizeFor(kFat16ClusterSizes, totalSectors)
                                         : ClusterSizeFor(kFat32ClusterSizes, totalSectors);
}

// How far x must move up to reach a multiple of unit (0 when it is one). A
// unit of 0 aligns nothing.
std::uint32_t AlignmentGap(std::uint32_t x, std::uint32_t unit) {
    if (unit == 0 || x % unit == 0) return 0;
    return (x / unit + 1) * unit - x;
}

// Size of one FAT for an estimate of the sectors shared by both FATs and the
// data area, cluster size C and E entries per FAT sector: whole sectors for
// the clusters plus the two reserved entries, refined twice against the
// room the FATs themselves take.
std::uint32_t FatSize(std::uint32_t estimate, std::uint32_t clusterSize, std::uint32_t entriesPerSector) {
    const auto size = [&](std::uint32_t sectors) {
        return (sectors / clusterSize + entriesPerSector + 1) / entriesPerSector;
    };
    const std::uint32_t s1 = size(estimate);
    const std::uint32_t s2 = size(estimate - 2 * s1);
    if (s2 == s1) return s2;
    const std::uint32_t s3 = size(estimate - 2 * s2);
    return std::max(s2, s3);
}

// Why a computed layout cannot be written, or nullptr when it can. Only
// mode 2 and the override settings reach these cases: a start moved past
// the device's end or so far that too few clusters remain for the FAT type,
// or a reserved area too big for its 16-bit field.
const char* LayoutProblem(const CFatDiskBuilder& b) {
    const std::uint64_t areasEnd = std::uint64_t{b.m_partitionStart} + b.m_reservedSectors +
                                   2 * std::uint64_t{b.m_sectorsPerFat} + b.m_rootDirSectors;
    if (areasEnd > b.m_totalSectors) return kCapacityTooSmall;
    const std::uint32_t minClusters = b.m_isFat16 ? kFat16MinClusters : kFat32MinClusters;
    if (b.ClusterCount() < minClusters) return kCapacityTooSmall;
    if (b.m_reservedSectors > 0xFFFF) return kReservedAreaTooLarge;
    return nullptr;
}

// The common end of both layouts: refuse a layout that cannot be written,
// else build it when Setup asked for that.
bool FinishLayout(CFatDiskBuilder& b) {
    if (const char* problem = LayoutProblem(b)) {
        b.m_errorText = problem;
        return false;
    }
    return b.m_writeNow ? b.BuildDisk() : true;
}

}  // namespace

CFatDiskBuilder::CFatDiskBuilder(char driveLetter) : m_driveLetter(driveLetter) {}

bool CFatDiskBuilder::Setup(std::uint32_t totalSectors, std::string volumeLabel, bool writeNow) {
    // A capacity the cluster-size tables give no size for has no layout;
    // refuse it before any field changes.
    const std::uint32_t sectorsPerCluster = ClusterSizeForCapacity(totalSectors);
    if (sectorsPerCluster == 0) {
        m_errorText = kCapacityTooSmall;
        return false;
    }

    m_totalSectors = totalSectors;
    m_writeNow = writeNow;
    m_heads = kHeads;
    m_sectorsPerTrack = totalSectors >= kLargeGeometryFrom ? kSectorsPerTrackLarge : kSectorsPerTrackSmall;
    m_cylinders = totalSectors / (m_sectorsPerTrack * m_heads);
    m_volumeLabel = std::move(volumeLabel);
    m_activeLayoutMode = m_layoutMode;
    m_sectorsPerCluster = sectorsPerCluster;
    return IsFat16Capacity(totalSectors) ? LayoutFat16() : LayoutFat32();
}

bool CFatDiskBuilder::LayoutFat16() {
    m_isFat16 = true;
    m_isFat32 = false;
    m_bytesPerSector = kSectorSize;
    m_rootEntries = kFat16RootEntries;
    m_reservedSectors = kFat16ReservedSectors;
    m_rootDirSectors = kFat16RootDirSectors;

    const bool startsAtZero = m_activeLayoutMode == 1 || m_activeLayoutMode == 2;
    m_partitionStart = startsAtZero ? 0 : m_sectorsPerTrack;
    if (m_partitionStartOverride != 0) m_partitionStart = m_partitionStartOverride;

    m_sectorsPerFat = FatSize(m_totalSectors - m_partitionStart + kFat16EstimateSlack, m_sectorsPerCluster,
                              kFat16EntriesPerSector);

    // Mode 2 moves the start so that the first data sector (or the sector
    // kFat16AlignPad past it) lands on a multiple of the alignment unit.
    if (m_activeLayoutMode == 2 && m_partitionStartOverride == 0) {
        const std::uint32_t fats = 2 * m_sectorsPerFat;
        const std::uint32_t beforeData = kFat16ReservedSectors + kFat16RootDirSectors;
        if (m_alignUnit != 0) {
            m_partitionStart += AlignmentGap(m_partitionStart + fats + beforeData, m_alignUnit);
        } else {
            const std::uint32_t pad = m_alignPad != 0 ? kFat16AlignPad : 0;
            m_partitionStart += AlignmentGap(m_partitionStart + fats + pad + beforeData, m_alignBoundary);
        }
    }
    if (m_reservedOverride != 0) m_reservedSectors = m_reservedOverride;

    m_dataStart = m_reservedSectors + 2 * m_sectorsPerFat + m_rootDirSectors;
    m_firstDataSector = m_partitionStart + m_dataStart;
    return FinishLayout(*this);
}

bool CFatDiskBuilder::LayoutFat32() {
    m_isFat16 = false;
    m_isFat32 = true;
    m_bytesPerSector = kSectorSize;
    m_rootEntries = 0;
    m_reservedSectors = kFat32ReservedSectors;
    m_rootDirSectors = 0;

    const bool startsAtZero = m_activeLayoutMode == 1 || m_activeLayoutMode == 2;
    m_partitionStart = startsAtZero ? 0 : m_sectorsPerTrack;
    const int passes = startsAtZero ? 2 : 1;

    // Each pass starts from what the previous one left: the second sizes the
    // FAT again for the reserved area and start that the first one aligned.
    for (int pass = 0; pass < passes; ++pass) {
        if (m_partitionStartOverride != 0) m_partitionStart = m_partitionStartOverride;
        m_sectorsPerFat = FatSize(m_totalSectors - m_reservedSectors - m_partitionStart, m_sectorsPerCluster,
                                  kFat32EntriesPerSector);
        if (m_activeLayoutMode != 2) continue;

        const std::uint32_t fats = 2 * m_sectorsPerFat;
        const std::uint32_t cluster = m_sectorsPerCluster;
        // Grow the reserved area so that the areas before the data (and,
        // with an alignment unit, one cluster more) end on a unit boundary.
        if (m_alignUnit != 0) {
            m_reservedSectors +=
                AlignmentGap(m_partitionStart + m_reservedSectors + fats + cluster, m_alignUnit);
        } else {
            m_reservedSectors += AlignmentGap(m_reservedSectors + fats, kFat32ReservedAlign);
        }
        if (m_partitionStartOverride != 0) continue;

        // Move the start so that the sector one cluster past the first data
        // sector (plus the pad) lands on m_alignBoundary, then keep the start
        // small by moving whole steps of it into the reserved area.
        const std::uint32_t pad = m_alignPad != 0 ? kFat32AlignPad : 0;
        m_partitionStart +=
            AlignmentGap(m_partitionStart + m_reservedSectors + fats + cluster + pad, m_alignBoundary);
        while (m_partitionStart > kFat32LargestStart) {
            m_partitionStart -= kFat32StartStep;
            m_reservedSectors += kFat32StartStep;
        }
    }
    if (m_reservedOverride != 0) m_reservedSectors = m_reservedOverride;

    m_dataStart = m_reservedSectors + 2 * m_sectorsPerFat;
    m_firstDataSector = m_partitionStart + m_dataStart;
    return FinishLayout(*this);
}

std::uint32_t CFatDiskBuilder::PartitionSectors() const {
    const std::uint32_t available = m_totalSectors - m_partitionStart;
    if (m_sectorsPerCluster == 0 || available < m_dataStart) return available;
    // The most clusters the volume may hold: those its type allows and its
    // FAT has entries for.
    const std::uint32_t entriesPerSector = m_isFat16 ? kFat16EntriesPerSector : kFat32EntriesPerSector;
    const std::uint64_t fatEntries = std::uint64_t{m_sectorsPerFat} * entriesPerSector;
    const std::uint64_t fatClusters = fatEntries > kReservedFatEntries ? fatEntries - kReservedFatEntries : 0;
    const std::uint64_t largest = std::min<std::uint64_t>(fatClusters, m_isFat16 ? kFat16MaxClusters : kFat32MaxClusters);
    if ((available - m_dataStart) / m_sectorsPerCluster <= largest) return available;
    // Trimmed to exactly that many clusters; the device's last sectors stay unused.
    return static_cast<std::uint32_t>(m_dataStart + largest * m_sectorsPerCluster);
}

std::uint32_t CFatDiskBuilder::ClusterCount() const {
    const std::uint32_t partition = PartitionSectors();
    if (m_sectorsPerCluster == 0 || partition < m_dataStart) return 0;
    return (partition - m_dataStart) / m_sectorsPerCluster;
}
