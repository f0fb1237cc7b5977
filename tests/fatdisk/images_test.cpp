// Byte images: the MBR entry, the FAT16 boot sector, the FAT32 reserved area,
// the FAT heads and the volume label, checked against known bytes. Regions
// the templates supply (boot code, messages) are compared with the
// templates, so the tests hold whatever boot code they carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "boot/boot_templates.h"
#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/volume_label.h"
#include "tests/fatdisk/layout_snapshot.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 512;

Bytes Slice(const Bytes& buffer, std::size_t offset, std::size_t length) {
    return Bytes(buffer.begin() + static_cast<std::ptrdiff_t>(offset),
                 buffer.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

Bytes Slice(const std::uint8_t* data, std::size_t offset, std::size_t length) {
    return Bytes(data + offset, data + offset + length);
}

std::string Text(const Bytes& buffer, std::size_t offset, std::size_t length) {
    return std::string(buffer.begin() + static_cast<std::ptrdiff_t>(offset),
                       buffer.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

bool AllZero(const Bytes& buffer, std::size_t offset, std::size_t length) {
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(offset),
                       buffer.begin() + static_cast<std::ptrdiff_t>(offset + length),
                       [](std::uint8_t b) { return b == 0; });
}

CFatDiskBuilder LaidOut(std::uint32_t totalSectors, std::int32_t mode, const std::string& label = "USBHDDBOOT",
                        std::uint32_t partitionStartOverride = 0) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = mode;
    builder.m_partitionStartOverride = partitionStartOverride;
    EXPECT_TRUE(builder.Setup(totalSectors, label, false));
    return builder;
}

Bytes Mbr(const CFatDiskBuilder& builder) {
    Bytes mbr(kSector, 0);
    builder.MakeMbr(mbr.data());
    return mbr;
}

// The boot sector (FAT16) or reserved area (FAT32) of a builder.
Bytes BootArea(const CFatDiskBuilder& builder) {
    Bytes area(std::size_t{builder.m_reservedSectors} * kSector, 0);
    if (builder.m_isFat16) {
        builder.MakeFat16BootSector(area.data());
    } else {
        builder.MakeFat32BootArea(area.data());
    }
    return area;
}

// ---- MBR -------------------------------------------------------------------

struct MbrEntryCase {
    std::uint32_t totalSectors;
    Bytes entry;
};

std::ostream& operator<<(std::ostream& out, const MbrEntryCase& c) { return out << c.totalSectors << " sectors"; }

class MbrEntryInModeZero : public testing::TestWithParam<MbrEntryCase> {};

TEST_P(MbrEntryInModeZero, HoldsTheKnownBytes) {
    const Bytes mbr = Mbr(LaidOut(GetParam().totalSectors, 0));
    EXPECT_EQ(Slice(mbr, 446, 16), GetParam().entry);
    EXPECT_EQ(Slice(mbr, 0, 446), Slice(kMbrTemplate, 0, 446));
    EXPECT_EQ(Slice(mbr, 462, 48), Slice(kMbrTemplate, 462, 48));
    EXPECT_EQ(Slice(mbr, 510, 2), (Bytes{0x55, 0xAA}));
}

INSTANTIATE_TEST_SUITE_P(
    KnownEntries, MbrEntryInModeZero,
    testing::Values(
        MbrEntryCase{20000, {0x80, 0x01, 0x01, 0x00, 0x04, 0x0F, 0x20, 0x26, 0x20, 0, 0, 0, 0x00, 0x4E, 0x00, 0x00}},
        MbrEntryCase{3915776, {0x80, 0x01, 0x01, 0x00, 0x04, 0x3F, 0xFF, 0xCA, 0x3F, 0, 0, 0, 0xC1, 0xBF, 0x3B, 0x00}},
        // The FAT16 count is trimmed to 65524 clusters: 550 + 65524 * 64 = 0x3FFF26.
        MbrEntryCase{4194304, {0x80, 0x01, 0x01, 0x00, 0x04, 0x7F, 0xBF, 0x07, 0x3F, 0, 0, 0, 0x26, 0xFF, 0x3F, 0x00}},
        MbrEntryCase{7831552, {0x80, 0x01, 0x01, 0x00, 0x0C, 0x7F, 0xFF, 0xCA, 0x3F, 0, 0, 0, 0xC1, 0x7F, 0x77, 0x00}},
        MbrEntryCase{15663104, {0x80, 0x01, 0x01, 0x00, 0x0C, 0xFE, 0xFF, 0xCA, 0x3F, 0, 0, 0, 0xC1, 0xFF, 0xEE, 0x00}},
        MbrEntryCase{31326208,
                     {0x80, 0x01, 0x01, 0x00, 0x0C, 0xFE, 0xFF, 0xFF, 0x3F, 0, 0, 0, 0xC1, 0xFF, 0xDD, 0x01}}));

struct EndChsCase {
    std::uint32_t cylinders;
    Bytes endChs;
};

std::ostream& operator<<(std::ostream& out, const EndChsCase& c) { return out << c.cylinders << " cylinders"; }

class MbrEndChs : public testing::TestWithParam<EndChsCase> {};

// The head factor doubles at each power of two above 1024 cylinders, head 255
// is written as 254, and counts of 1 or above 16384 get the largest address.
TEST_P(MbrEndChs, ScalesTheHeadsToFitTheCylinder) {
    CFatDiskBuilder builder = LaidOut(1000000, 0);  // 63 sectors per track, 16 heads
    builder.m_cylinders = GetParam().cylinders;
    EXPECT_EQ(Slice(Mbr(builder), 451, 3), GetParam().endChs);
}

INSTANTIATE_TEST_SUITE_P(CylinderRanges, MbrEndChs,
                         testing::Values(EndChsCase{0, {0xFE, 0xFF, 0xFF}}, EndChsCase{1, {0xFE, 0xFF, 0xFF}},
                                         EndChsCase{2, {0x0F, 0x3F, 0x01}}, EndChsCase{1024, {0x0F, 0xFF, 0xFF}},
                                         EndChsCase{1025, {0x1F, 0x7F, 0xFF}}, EndChsCase{4097, {0x7F, 0x7F, 0xFF}},
                                         EndChsCase{8192, {0x7F, 0xFF, 0xFF}}, EndChsCase{8193, {0xFE, 0x7F, 0xFF}},
                                         EndChsCase{16384, {0xFE, 0xFF, 0xFF}},
                                         EndChsCase{16385, {0xFE, 0xFF, 0xFF}}));

struct MbrFieldsCase {
    const char* name;
    std::uint32_t totalSectors;
    std::int32_t mode;
    std::uint32_t partitionStartOverride;
    Bytes startChs;
    std::uint8_t type;
    std::uint32_t startLba;
    std::uint32_t sectorCount;
};

std::ostream& operator<<(std::ostream& out, const MbrFieldsCase& c) { return out << c.name; }

class MbrFields : public testing::TestWithParam<MbrFieldsCase> {};

TEST_P(MbrFields, FollowTheLayout) {
    const MbrFieldsCase& c = GetParam();
    const Bytes mbr = Mbr(LaidOut(c.totalSectors, c.mode, "", c.partitionStartOverride));
    EXPECT_EQ(mbr[446], 0x80);
    EXPECT_EQ(Slice(mbr, 447, 3), c.startChs);
    EXPECT_EQ(mbr[450], c.type);
    std::uint32_t lba = 0, count = 0;
    std::memcpy(&lba, &mbr[454], 4);  // the tests run on little-endian hosts
    std::memcpy(&count, &mbr[458], 4);
    EXPECT_EQ(lba, c.startLba);
    EXPECT_EQ(count, c.sectorCount);
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndTypes, MbrFields,
    testing::Values(
        MbrFieldsCase{"fat16_mode1_63", 1000000, 1, 0, {0x80, 0x01, 0x00}, 0x04, 0, 1000000},
        MbrFieldsCase{"fat16_mode2_63", 1000000, 2, 0, {0x80, 0x01, 0x00}, 0x04, 7664, 1000000 - 7664},
        MbrFieldsCase{"fat16_mode1_32", 20000, 1, 0, {0x0C, 0x01, 0x0F}, 0x04, 0, 20000},
        MbrFieldsCase{"fat16_mode2_32", 20000, 2, 0, {0x0C, 0x01, 0x0F}, 0x04, 8076, 20000 - 8076},
        MbrFieldsCase{"fat32_mode2", 7831552, 2, 0, {0x80, 0x01, 0x00}, 0x0C, 8184, 7831552 - 8184},
        // A FAT32 volume whose partition holds no more than 4194304 sectors is still FAT32.
        MbrFieldsCase{"fat32_small_partition", 4194305, 0, 0, {0x01, 0x01, 0x00}, 0x0C, 63, 4194242},
        MbrFieldsCase{"fat32_small_partition_mode2", 4194400, 2, 0, {0x80, 0x01, 0x00}, 0x0C, 8184, 4194400 - 8184},
        // The entry points at the volume's real start when the start is overridden.
        MbrFieldsCase{"override_mode0", 1000000, 0, 2048, {0x01, 0x01, 0x00}, 0x04, 2048, 1000000 - 2048},
        MbrFieldsCase{"override_mode0_fat32", 7831552, 0, 2048, {0x01, 0x01, 0x00}, 0x0C, 2048, 7831552 - 2048}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Boot sectors ------------------------------------------------------------

TEST(Fat16BootSector, HoldsTheKnownBpb) {
    const CFatDiskBuilder builder = LaidOut(3915776, 0);
    Bytes sector(kSector, 0);
    builder.MakeFat16BootSector(sector.data());

    EXPECT_EQ(Slice(sector, 0, 3), (Bytes{0xEB, 0x3C, 0x90}));
    EXPECT_EQ(Text(sector, 3, 8), "MSDOS5.0");
    const Bytes bpb{0x00, 0x02, 0x40, 0x06, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xF8, 0xEF, 0x00, 0x3F, 0x00, 0x10,
                    0x00, 0x3F, 0x00, 0x00, 0x00, 0xC1, 0xBF, 0x3B, 0x00, 0x80, 0x00, 0x29, 0x67, 0x45, 0x23, 0x01};
    EXPECT_EQ(Slice(sector, 11, 51), Concat({bpb, Ascii("USBHDDBOOT FAT16   ")}));
    EXPECT_EQ(Slice(sector, 62, 448), Slice(kFat16BootTemplate, 62, 448));
    EXPECT_EQ(Slice(sector, 510, 2), (Bytes{0x55, 0xAA}));
}

TEST(Fat16BootSector, WritesOnlyItsFirstSector) {
    const CFatDiskBuilder builder = LaidOut(3915776, 0);
    const Bytes area = BootArea(builder);
    ASSERT_EQ(area.size(), 6 * kSector);
    EXPECT_TRUE(AllZero(area, kSector, 5 * kSector));
}

TEST(Fat16BootSector, StatesTotalsBelow65536InThe16BitField) {
    // Mode 1 puts the volume at sector 0, so the partition is the device.
    for (const auto& [total, total16, total32] :
         {std::tuple{65535u, Bytes{0xFF, 0xFF}, Bytes{0, 0, 0, 0}}, std::tuple{65536u, Bytes{0, 0}, Bytes{0, 0, 1, 0}}}) {
        const Bytes sector = BootArea(LaidOut(total, 1));
        EXPECT_EQ(Slice(sector, 19, 2), total16) << total;
        EXPECT_EQ(Slice(sector, 32, 4), total32) << total;
    }
}

TEST(Fat32BootSector, HoldsTheKnownBpb) {
    const CFatDiskBuilder builder = LaidOut(7831552, 0, "USBZIPBOOT");
    const Bytes area = BootArea(builder);

    EXPECT_EQ(Slice(area, 0, 3), (Bytes{0xEB, 0x58, 0x90}));
    EXPECT_EQ(Text(area, 3, 8), "MSDOS5.0");
    const Bytes bpb{0x00, 0x02, 0x08, 0x20, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x00, 0x00, 0x3F,
                    0x00, 0x10, 0x00, 0x3F, 0x00, 0x00, 0x00, 0xC1, 0x7F, 0x77, 0x00, 0xD2, 0x1D, 0x00,
                    0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00};
    const Bytes drive{0x80, 0x00, 0x29, 0x67, 0x45, 0x23, 0x01};
    EXPECT_EQ(Slice(area, 11, 79), Concat({bpb, Bytes(12, 0), drive, Ascii("USBZIPBOOT FAT32   ")}));
    EXPECT_EQ(Slice(area, 90, 420), Slice(kFat32BootTemplate, 90, 420));
    EXPECT_EQ(Slice(area, 510, 2), (Bytes{0x55, 0xAA}));
}

TEST(Fat32ReservedArea, CarriesFsInfoBootCodeAndBackups) {
    // Mode 2 grows the reserved area (1134 sectors here), so its zero tail is long.
    const CFatDiskBuilder builder = LaidOut(7831552, 2);
    ASSERT_EQ(builder.m_reservedSectors, 1134u);
    const Bytes area = BootArea(builder);

    const Bytes fsInfo = Slice(area, kSector, kSector);
    EXPECT_EQ(Text(fsInfo, 0, 4), "RRaA");
    EXPECT_TRUE(AllZero(fsInfo, 4, 480));
    EXPECT_EQ(Text(fsInfo, 484, 4), "rrAa");
    EXPECT_EQ(Slice(fsInfo, 488, 8), Bytes(8, 0xFF));  // free count and next free: not known
    EXPECT_TRUE(AllZero(fsInfo, 496, 12));
    EXPECT_EQ(Slice(fsInfo, 508, 4), (Bytes{0x00, 0x00, 0x55, 0xAA}));

    EXPECT_EQ(Slice(area, 2 * kSector, kSector), Slice(kFat32BootTemplate, 2 * kSector, kSector));
    EXPECT_TRUE(AllZero(area, 3 * kSector, 3 * kSector));
    EXPECT_EQ(Slice(area, 6 * kSector, 2 * kSector), Slice(area, 0, 2 * kSector));
    EXPECT_TRUE(AllZero(area, 8 * kSector, area.size() - 8 * kSector));
}

// ---- Volume label --------------------------------------------------------------

enum class LabelTarget { kFat16BootSector, kFat32BootSector, kRootEntry };

struct LabelCase {
    const char* name;
    std::string label;
    std::string field;  // the 11 bytes written; "" when no label is written
};

std::ostream& operator<<(std::ostream& out, const LabelCase& c) { return out << c.name; }

// The image the label goes into, and the offset of its 11-byte field.
std::pair<Bytes, std::size_t> LabelImage(LabelTarget target, const std::string& label) {
    if (target == LabelTarget::kRootEntry) {
        Bytes entry(32, 0);
        fatdisk::WriteVolumeLabelEntry(entry.data(), label);
        return {entry, 0};
    }
    const bool fat16 = target == LabelTarget::kFat16BootSector;
    const Bytes area = BootArea(LaidOut(fat16 ? 3915776 : 7831552, 0, label));
    return {Slice(area, 0, kSector), fat16 ? 43 : 71};
}

std::string LabelCaseName(const testing::TestParamInfo<std::tuple<LabelCase, LabelTarget>>& info) {
    static const char* const kTargets[] = {"fat16", "fat32", "root_entry"};
    return std::string(std::get<0>(info.param).name) + "_" + kTargets[static_cast<int>(std::get<1>(info.param))];
}

class VolumeLabel : public testing::TestWithParam<std::tuple<LabelCase, LabelTarget>> {};

TEST_P(VolumeLabel, FillsOnlyItsField) {
    const auto& [c, target] = GetParam();
    const auto [image, field] = LabelImage(target, c.label);
    const auto [unlabelled, unused] = LabelImage(target, "");

    if (target == LabelTarget::kRootEntry) {
        // No label, no entry; a label gives the blank-padded name and attribute 0x08.
        const Bytes expected =
            c.field.empty() ? Bytes(32, 0) : Concat({Ascii(c.field), Bytes{0x08}, Bytes(20, 0)});
        EXPECT_EQ(image, expected);
        return;
    }
    EXPECT_EQ(Text(image, field, 11), c.field.empty() ? "NO NAME    " : c.field);
    // Every byte outside the field is that of the image without a label.
    EXPECT_EQ(Slice(image, 0, field), Slice(unlabelled, 0, field));
    EXPECT_EQ(Slice(image, field + 11, kSector - field - 11), Slice(unlabelled, field + 11, kSector - field - 11));
}

INSTANTIATE_TEST_SUITE_P(
    Labels, VolumeLabel,
    testing::Combine(
        testing::Values(LabelCase{"empty", "", ""}, LabelCase{"white_space_only", " \t\r\n\v\f ", ""},
                        LabelCase{"ten_bytes", "USBHDDBOOT", "USBHDDBOOT "},
                        LabelCase{"trimmed_inner_blank_kept", "  USB BOOT \t\n", "USB BOOT   "},
                        LabelCase{"eleven_bytes", "ABCDEFGHIJK", "ABCDEFGHIJK"},
                        LabelCase{"longer_cut_to_eleven", "ABCDEFGHIJKLMNOP", "ABCDEFGHIJK"},
                        LabelCase{"bytes_unchanged", "usb\xE4-\x01", "usb\xE4-\x01     "}),
        testing::Values(LabelTarget::kFat16BootSector, LabelTarget::kFat32BootSector, LabelTarget::kRootEntry)),
    LabelCaseName);

// ---- FAT heads ---------------------------------------------------------------------

TEST(FatHead, WritesOnlyTheReservedEntries) {
    for (const auto& [total, head] :
         {std::tuple{3915776u, Bytes{0xF8, 0xFF, 0xFF, 0xFF}},
          std::tuple{7831552u, Bytes{0xF8, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0x0F}}}) {
        const CFatDiskBuilder builder = LaidOut(total, 0);
        Bytes fat(std::size_t{builder.m_sectorsPerFat} * kSector, 0);
        builder.MakeFatHead(fat.data());
        EXPECT_EQ(Slice(fat, 0, head.size()), head) << total;
        EXPECT_TRUE(AllZero(fat, head.size(), fat.size() - head.size())) << total;
    }
}

// ---- All images ----------------------------------------------------------------------

// Each operation stays inside the smallest buffer it is allowed, and none
// changes the builder.
TEST(Images, StayInsideTheirSmallestBuffersAndLeaveTheBuilderAlone) {
    constexpr std::uint8_t kGuard = 0xCC;
    constexpr std::size_t kGuardBytes = 64;
    const auto intact = [](const Bytes& buffer, std::size_t size) {
        return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(size), buffer.end(),
                           [](std::uint8_t b) { return b == kGuard; });
    };
    for (std::uint32_t total : {3915776u, 7831552u}) {
        const CFatDiskBuilder builder = LaidOut(total, 0, "A LABEL LONGER THAN ELEVEN");
        const LayoutSnapshot before = LayoutSnapshot::Of(builder);
        const std::size_t bootAreaSize = builder.m_isFat16 ? kSector : 8 * kSector;
        const std::size_t headSize = builder.m_isFat16 ? 4 : 12;

        Bytes mbr(kSector + kGuardBytes, kGuard), boot(bootAreaSize + kGuardBytes, kGuard),
            head(headSize + kGuardBytes, kGuard);
        std::fill_n(mbr.begin(), kSector, 0);
        std::fill_n(boot.begin(), bootAreaSize, 0);
        std::fill_n(head.begin(), headSize, 0);
        builder.MakeMbr(mbr.data());
        if (builder.m_isFat16) {
            builder.MakeFat16BootSector(boot.data());
        } else {
            builder.MakeFat32BootArea(boot.data());
        }
        builder.MakeFatHead(head.data());

        EXPECT_TRUE(intact(mbr, kSector)) << total;
        EXPECT_TRUE(intact(boot, bootAreaSize)) << total;
        EXPECT_TRUE(intact(head, headSize)) << total;
        EXPECT_EQ(LayoutSnapshot::Of(builder), before);
        EXPECT_EQ(builder.m_volumeLabel, "A LABEL LONGER THAN ELEVEN");
    }
}

}  // namespace
