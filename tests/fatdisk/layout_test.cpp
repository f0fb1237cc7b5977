// Geometry and FAT layout: known sticks and the capacities where the layout
// changes, the refused capacities, the FAT16 cluster bound and the settings
// of the layout modes.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "fatdisk/fat_disk_builder.h"
#include "tests/fatdisk/layout_snapshot.h"

namespace {

struct Settings {
    std::int32_t mode = 0;
    std::int32_t alignPad = 0;
    std::uint32_t alignUnit = 0;
    std::uint32_t alignBoundary = 8192;
};

void Apply(CFatDiskBuilder& builder, const Settings& settings) {
    builder.m_layoutMode = settings.mode;
    builder.m_alignPad = settings.alignPad;
    builder.m_alignUnit = settings.alignUnit;
    builder.m_alignBoundary = settings.alignBoundary;
}

struct LayoutCase {
    const char* name;
    std::uint32_t totalSectors;
    Settings settings;
    bool fat16;
    std::uint32_t sectorsPerTrack;
    std::uint32_t cylinders;
    std::uint32_t sectorsPerCluster;
    std::uint32_t sectorsPerFat;
    std::uint32_t reservedSectors;
    std::uint32_t partitionStart;
    std::uint32_t dataStart;
    std::uint32_t firstDataSector;
};

std::ostream& operator<<(std::ostream& out, const LayoutCase& c) { return out << c.name; }

class KnownLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(KnownLayout, HasItsGeometryAndFatLayout) {
    const LayoutCase& c = GetParam();
    CFatDiskBuilder builder('E');
    Apply(builder, c.settings);
    ASSERT_TRUE(builder.Setup(c.totalSectors, "USBHDDBOOT", false));

    EXPECT_EQ(builder.m_isFat16, c.fat16);
    EXPECT_EQ(builder.m_isFat32, !c.fat16);
    EXPECT_EQ(builder.m_heads, 16u);
    EXPECT_EQ(builder.m_sectorsPerTrack, c.sectorsPerTrack);
    EXPECT_EQ(builder.m_cylinders, c.cylinders);
    EXPECT_EQ(builder.m_sectorsPerCluster, c.sectorsPerCluster);
    EXPECT_EQ(builder.m_sectorsPerFat, c.sectorsPerFat);
    EXPECT_EQ(builder.m_reservedSectors, c.reservedSectors);
    EXPECT_EQ(builder.m_partitionStart, c.partitionStart);
    EXPECT_EQ(builder.m_dataStart, c.dataStart);
    EXPECT_EQ(builder.m_firstDataSector, c.firstDataSector);
    EXPECT_EQ(builder.m_bytesPerSector, 512u);
    EXPECT_EQ(builder.m_rootEntries, c.fat16 ? 512u : 0u);
    EXPECT_EQ(builder.m_rootDirSectors, c.fat16 ? 32u : 0u);
    EXPECT_EQ(builder.m_totalSectors, c.totalSectors);
    EXPECT_EQ(builder.m_volumeLabel, "USBHDDBOOT");
}

// Mode 0, as the dialog makes every disk, every other setting at its default.
INSTANTIATE_TEST_SUITE_P(
    ModeZero, KnownLayout,
    testing::Values(
        LayoutCase{"smallest_volume_8401", 8401, {}, true, 32, 16, 2, 17, 6, 32, 72, 104},
        LayoutCase{"last_with_32_sectors_per_track_32767", 32767, {}, true, 32, 63, 4, 32, 6, 32, 102, 134},
        LayoutCase{"first_with_63_sectors_per_track_32768", 32768, {}, true, 63, 32, 4, 32, 6, 63, 102, 165},
        LayoutCase{"fat16_half_gigabyte_1000000", 1000000, {}, true, 63, 992, 16, 245, 6, 63, 528, 591},
        LayoutCase{"fat16_2GB_stick_3915776", 3915776, {}, true, 63, 3884, 64, 239, 6, 63, 516, 579},
        LayoutCase{"largest_fat16_volume_4194304", 4194304, {}, true, 63, 4161, 64, 256, 6, 63, 550, 613},
        LayoutCase{"smallest_fat32_volume_4194305", 4194305, {}, false, 63, 4161, 8, 4088, 32, 63, 8208, 8271},
        LayoutCase{"fat32_4GB_stick_7831552", 7831552, {}, false, 63, 7769, 8, 7634, 32, 63, 15300, 15363},
        LayoutCase{"fat32_32GB_stick_62652416", 62652416, {}, false, 63, 62155, 32, 15289, 32, 63, 30610, 30673}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OtherModesAndSettings, KnownLayout,
    testing::Values(
        LayoutCase{"fat16_mode1", 1000000, {.mode = 1}, true, 63, 992, 16, 245, 6, 0, 528, 528},
        LayoutCase{"fat16_mode2", 1000000, {.mode = 2}, true, 63, 992, 16, 245, 6, 7664, 528, 8192},
        LayoutCase{"fat16_mode2_pad", 1000000, {.mode = 2, .alignPad = 1}, true, 63, 992, 16, 245, 6, 7600, 528,
                   8128},
        LayoutCase{"fat16_mode2_unit2048", 1000000, {.mode = 2, .alignUnit = 2048}, true, 63, 992, 16, 245, 6,
                   1520, 528, 2048},
        LayoutCase{"fat16_mode2_3915776", 3915776, {.mode = 2}, true, 63, 3884, 64, 239, 6, 7676, 516, 8192},
        LayoutCase{"fat32_mode1", 7831552, {.mode = 1}, false, 63, 7769, 8, 7634, 32, 0, 15300, 15300},
        LayoutCase{"fat32_mode2", 7831552, {.mode = 2}, false, 63, 7769, 8, 7625, 1134, 8184, 16384, 24568},
        LayoutCase{"fat32_mode2_boundary32768", 7831552, {.mode = 2, .alignBoundary = 32768}, false, 63, 7769, 8,
                   7617, 9342, 8184, 24576, 32760},
        LayoutCase{"fat32_mode2_62652416", 62652416, {.mode = 2}, false, 63, 62155, 32, 15287, 2194, 8160, 32768,
                   40928},
        // Already aligned (2 * 245 + 38 = 528): the start stays 0, so there is no MBR area.
        LayoutCase{"fat16_mode2_already_aligned", 1000000, {.mode = 2, .alignUnit = 528}, true, 63, 992, 16, 245, 6,
                   0, 528, 528}),
    [](const auto& info) { return std::string(info.param.name); });

class RefusedCapacity : public testing::TestWithParam<std::uint32_t> {};

// Nothing is laid out: a builder keeps the layout of its last good Setup,
// and with the write flag set nothing is built.
TEST_P(RefusedCapacity, IsRefusedWithoutLayingOutOrBuilding) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 0;
    ASSERT_TRUE(builder.Setup(3915776, "USBHDDBOOT", false));
    const LayoutSnapshot before = LayoutSnapshot::Of(builder);

    EXPECT_FALSE(builder.Setup(GetParam(), "OTHER", true));
    EXPECT_EQ(builder.m_errorText, "Capacity Too Small");
    EXPECT_EQ(LayoutSnapshot::Of(builder), before);
    EXPECT_EQ(builder.m_volumeLabel, "USBHDDBOOT");
    EXPECT_FALSE(builder.m_writeNow);
}

INSTANTIATE_TEST_SUITE_P(AtMost8400, RefusedCapacity, testing::Values(0u, 1u, 4096u, 8399u, 8400u));

TEST(Fat16ClusterBound, TrimsThePartitionToAtMost65524ClustersAndKeepsTheLayout) {
    // Modes 0 and 1 would leave room for more than 65524 clusters; mode 2
    // moves the start far enough to stay below the bound by itself.
    for (std::int32_t mode : {0, 1}) {
        CFatDiskBuilder builder('E');
        builder.m_layoutMode = mode;
        ASSERT_TRUE(builder.Setup(4194304, "", false));
        const std::uint32_t untrimmed = builder.m_totalSectors - builder.m_partitionStart;
        EXPECT_GT((untrimmed - builder.m_dataStart) / 64, 65524u) << "mode " << mode;
        EXPECT_EQ(builder.ClusterCount(), 65524u) << "mode " << mode;
        EXPECT_EQ(builder.PartitionSectors(), builder.m_dataStart + 65524u * 64) << "mode " << mode;
        EXPECT_TRUE(builder.m_isFat16);
        EXPECT_EQ(builder.m_sectorsPerCluster, 64u);
        EXPECT_EQ(builder.m_sectorsPerFat, 256u);
        EXPECT_EQ(builder.m_dataStart, 550u);
    }
}

TEST(Fat16ClusterBound, LeavesCapacitiesBelowTheBoundUntrimmed) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 0;
    ASSERT_TRUE(builder.Setup(4194212, "", false));
    EXPECT_EQ(builder.PartitionSectors(), 4194212u - 63);
    EXPECT_EQ(builder.ClusterCount(), 65524u);
}

TEST(Setup, RecomputesEveryFieldFromTheNewCapacity) {
    // A mode-2 FAT32 layout grows the reserved area and moves the start; a
    // FAT16 layout after it must not inherit either.
    CFatDiskBuilder reused('E');
    reused.m_layoutMode = 2;
    ASSERT_TRUE(reused.Setup(62652416, "USBZIPBOOT", false));
    ASSERT_TRUE(reused.Setup(1000000, "USBHDDBOOT", false));

    CFatDiskBuilder fresh('E');
    fresh.m_layoutMode = 2;
    ASSERT_TRUE(fresh.Setup(1000000, "USBHDDBOOT", false));
    EXPECT_EQ(LayoutSnapshot::Of(reused), LayoutSnapshot::Of(fresh));
}

TEST(Setup, TakesTheModeAtEachCall) {
    CFatDiskBuilder builder('E');
    EXPECT_EQ(builder.m_layoutMode, 2);
    ASSERT_TRUE(builder.Setup(1000000, "", false));
    EXPECT_EQ(builder.m_activeLayoutMode, 2);
    EXPECT_EQ(builder.m_partitionStart, 7664u);
    builder.m_layoutMode = 0;
    ASSERT_TRUE(builder.Setup(1000000, "", false));
    EXPECT_EQ(builder.m_activeLayoutMode, 0);
    EXPECT_EQ(builder.m_partitionStart, 63u);
}

TEST(Defaults, AreThoseOfAFreshBuilder) {
    const CFatDiskBuilder builder('F');
    EXPECT_EQ(builder.m_driveLetter, 'F');
    EXPECT_EQ(builder.m_layoutMode, 2);
    EXPECT_EQ(builder.m_alignBoundary, 8192u);
    EXPECT_EQ(builder.m_partitionStartOverride, 0u);
    EXPECT_EQ(builder.m_alignUnit, 0u);
    EXPECT_EQ(builder.m_reservedOverride, 0u);
    EXPECT_EQ(builder.m_alignPad, 0);
    EXPECT_TRUE(builder.m_errorText.empty());
    EXPECT_TRUE(builder.m_volumeLabel.empty());
}

struct OverrideCase {
    const char* name;
    bool fat32;
    std::int32_t mode;
    std::uint32_t expectedReserved;
    std::uint32_t expectedSectorsPerFat;
};

std::ostream& operator<<(std::ostream& out, const OverrideCase& c) { return out << c.name; }

class PartitionStartOverride : public testing::TestWithParam<OverrideCase> {};

// The override places the volume in every mode and stops mode 2 from moving
// it; FAT32 mode 2 still grows the reserved area to the 8192 unit.
TEST_P(PartitionStartOverride, PlacesTheVolume) {
    const OverrideCase& c = GetParam();
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = c.mode;
    builder.m_partitionStartOverride = 2048;
    ASSERT_TRUE(builder.Setup(c.fat32 ? 7831552 : 1000000, "", false));
    EXPECT_EQ(builder.m_partitionStart, 2048u);
    EXPECT_EQ(builder.m_reservedSectors, c.expectedReserved);
    EXPECT_EQ(builder.m_sectorsPerFat, c.expectedSectorsPerFat);
    EXPECT_EQ(builder.m_firstDataSector, 2048 + builder.m_dataStart);
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, PartitionStartOverride,
    testing::Values(OverrideCase{"fat16_mode0", false, 0, 6, 244}, OverrideCase{"fat16_mode1", false, 1, 6, 244},
                    OverrideCase{"fat16_mode2", false, 2, 6, 244}, OverrideCase{"fat32_mode0", true, 0, 32, 7632},
                    OverrideCase{"fat32_mode2", true, 2, 1122, 7631}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReservedOverride, ReplacesTheReservedCountAfterTheAlignment) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 2;
    builder.m_reservedOverride = 40;
    ASSERT_TRUE(builder.Setup(1000000, "", false));
    // The start was aligned for 6 reserved sectors; the override comes after.
    EXPECT_EQ(builder.m_partitionStart, 7664u);
    EXPECT_EQ(builder.m_reservedSectors, 40u);
    EXPECT_EQ(builder.m_dataStart, 40u + 2 * 245 + 32);
}

TEST(ReservedOverride, NeverLeavesMoreClustersThanTheFatMaps) {
    // A reserved area smaller than the one the FAT was sized for frees
    // sectors for more clusters than the FAT may have entries for.
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 0;
    builder.m_reservedOverride = 8;
    ASSERT_TRUE(builder.Setup(7831552, "", false));
    EXPECT_LE(builder.ClusterCount() + 2, builder.m_sectorsPerFat * 128);
    EXPECT_LE(builder.m_partitionStart + builder.PartitionSectors(), builder.m_totalSectors);
}

// Settings that no caller uses can move a volume beyond the device or leave
// it too few clusters for its type; such a layout is refused, not written.
struct UnwritableCase {
    const char* name;
    std::uint32_t totalSectors;
    Settings settings;
    std::uint32_t partitionStartOverride;
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const UnwritableCase& c) { return out << c.name; }

class UnwritableLayout : public testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableLayout, IsRefusedWithoutBuilding) {
    const UnwritableCase& c = GetParam();
    CFatDiskBuilder builder('E');
    Apply(builder, c.settings);
    builder.m_partitionStartOverride = c.partitionStartOverride;
    EXPECT_FALSE(builder.Setup(c.totalSectors, "", true));
    EXPECT_EQ(builder.m_errorText, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    ExoticSettings, UnwritableLayout,
    testing::Values(
        // The start moves to 8120, leaving 104 clusters: a FAT12 volume by count.
        UnwritableCase{"fat16_mode2_too_few_clusters", 8401, {.mode = 2}, 0, "Capacity Too Small"},
        UnwritableCase{"fat16_mode2_start_past_the_end", 8401, {.mode = 2, .alignBoundary = 32768}, 0,
                       "Capacity Too Small"},
        UnwritableCase{"fat16_start_override_past_the_end", 20000, {.mode = 0}, 30000, "Capacity Too Small"},
        UnwritableCase{"fat32_start_override_past_the_end", 4194305, {.mode = 1}, 4194000, "Capacity Too Small"},
        // Moving whole 8192-sector steps of a far start into the reserved area
        // overflows the 16-bit reserved-sectors field.
        UnwritableCase{"fat32_mode2_reserved_over_16_bits", 7831552, {.mode = 2, .alignBoundary = 1u << 20}, 0,
                       "Reserved Area Too Large"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AlignBoundary, OfZeroMovesNothing) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 2;
    builder.m_alignBoundary = 0;
    ASSERT_TRUE(builder.Setup(1000000, "", false));
    EXPECT_EQ(builder.m_partitionStart, 0u);
    ASSERT_TRUE(builder.Setup(7831552, "", false));
    EXPECT_EQ(builder.m_partitionStart, 0u);
    // The reserved area still grows to the fixed unit.
    EXPECT_EQ((builder.m_reservedSectors + 2 * builder.m_sectorsPerFat) % 8192, 0u);
}

}  // namespace
