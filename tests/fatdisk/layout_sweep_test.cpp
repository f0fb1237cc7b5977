// Every capacity of the FAT16 range in mode 0 and a stride through the
// FAT32 range (with samples of modes 1 and 2): the laid-out volume is sound
// and a second Setup repeats it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "fatdisk/fat_disk_builder.h"
#include "tests/fatdisk/layout_snapshot.h"

namespace {

constexpr std::uint32_t kSmallestCapacity = 8401;
constexpr std::uint32_t kLargestFat16 = 4194304;
constexpr std::uint32_t kLargestCapacity = 4294967295u;

// What is wrong with a layout computed with default settings, or nullptr.
const char* LayoutFault(const CFatDiskBuilder& b) {
    const std::uint64_t start = b.m_partitionStart;
    const std::uint64_t partition = b.PartitionSectors();
    const std::uint64_t fats = 2 * std::uint64_t{b.m_sectorsPerFat};
    const std::uint64_t clusters = b.ClusterCount();
    const std::uint64_t fatEntries = std::uint64_t{b.m_sectorsPerFat} * (b.m_isFat16 ? 256 : 128);

    if (b.m_isFat16 == b.m_isFat32) return "type flags disagree";
    if (b.m_isFat16 != (b.m_totalSectors <= kLargestFat16)) return "wrong FAT type for the capacity";
    if (clusters + 2 > fatEntries) return "the FAT has no entry for every cluster";
    if (b.m_isFat16 && (clusters < 4085 || clusters > 65524)) return "FAT16 cluster count out of range";
    if (b.m_isFat32 && clusters < 65525) return "FAT32 cluster count out of range";
    if (b.m_isFat16 && b.m_sectorsPerFat > 0xFFFF) return "FAT16 FAT size beyond its 16-bit field";
    if (b.m_reservedSectors > 0xFFFF) return "reserved area beyond its 16-bit field";
    if (b.m_isFat32 && b.m_reservedSectors < 8) return "FAT32 reserved area without room for its backups";

    if (b.m_dataStart != b.m_reservedSectors + fats + b.m_rootDirSectors) return "data start misplaced";
    if (b.m_firstDataSector != start + b.m_dataStart) return "first data sector misplaced";
    if (start + partition > b.m_totalSectors) return "partition beyond the device";
    if (b.m_dataStart + clusters * b.m_sectorsPerCluster > partition) return "clusters beyond the partition";
    // The root area (FAT32: the root cluster) lies inside the partition.
    const std::uint64_t rootEnd = b.m_dataStart + (b.m_isFat32 ? b.m_sectorsPerCluster : 0);
    if (rootEnd > partition) return "root area beyond the partition";

    // Only the FAT16 cluster bound may leave sectors at the device's end.
    const bool trimmed = start + partition < b.m_totalSectors;
    if (trimmed && !(b.m_isFat16 && clusters == 65524)) return "partition trimmed without reason";
    return nullptr;
}

const std::string kNoLabel;

// Lays out one capacity (twice when repeat is set: the second Setup must
// give the same layout); returns the first fault found, or nullptr.
const char* CheckCapacity(CFatDiskBuilder& builder, std::uint32_t totalSectors, bool repeat) {
    if (!builder.Setup(totalSectors, kNoLabel, false)) return "refused";
    if (const char* fault = LayoutFault(builder)) return fault;
    if (!repeat) return nullptr;
    const LayoutSnapshot first = LayoutSnapshot::Of(builder);
    if (!builder.Setup(totalSectors, kNoLabel, false) || !(LayoutSnapshot::Of(builder) == first)) {
        return "a second Setup gives another layout";
    }
    return nullptr;
}

// Checks first, first + stride, ... and last itself, reporting at most a
// few faults. Every repeatEvery-th capacity is laid out a second time.
void Sweep(std::int32_t mode, std::uint32_t first, std::uint32_t last, std::uint32_t stride,
           std::uint32_t repeatEvery = 1) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = mode;
    int faults = 0;
    std::uint32_t count = 0;
    const auto check = [&](std::uint32_t n) {
        const char* fault = CheckCapacity(builder, n, count++ % repeatEvery == 0);
        if (fault == nullptr) return;
        ADD_FAILURE() << "mode " << mode << ", " << n << " sectors: " << fault << " (" << builder.m_errorText
                      << ") " << LayoutSnapshot::Of(builder);
        ++faults;
    };
    for (std::uint64_t n = first; n <= last && faults < 5; n += stride) check(static_cast<std::uint32_t>(n));
    if ((last - first) % stride != 0) check(last);
}

// The FAT16 range in mode 0, every capacity, in slices that run in parallel.
constexpr std::uint32_t kFat16Slices = 8;

class EveryFat16CapacityInModeZero : public testing::TestWithParam<std::uint32_t> {};

TEST_P(EveryFat16CapacityInModeZero, IsSound) {
    const std::uint32_t span = (kLargestFat16 - kSmallestCapacity + kFat16Slices) / kFat16Slices;
    const std::uint32_t first = kSmallestCapacity + GetParam() * span;
    const std::uint32_t last = std::min(kLargestFat16, first + span - 1);
    // A second Setup runs for a sample: what it could get wrong is state left
    // by the first call, not the arithmetic of one capacity.
    Sweep(0, first, last, 1, 97);
}

INSTANTIATE_TEST_SUITE_P(Slices, EveryFat16CapacityInModeZero, testing::Range(0u, kFat16Slices));

TEST(LayoutSweep, Fat32RangeInModeZero) { Sweep(0, kLargestFat16 + 1, kLargestCapacity, 16411); }

TEST(LayoutSweep, SamplesOfModeOne) {
    Sweep(1, kSmallestCapacity, kLargestFat16, 97);
    Sweep(1, kLargestFat16 + 1, kLargestCapacity, 40009);
}

// Mode 2 moves a FAT16 start up to about 8192 sectors, so a device needs
// 16370 sectors before 4085 clusters remain behind it.
constexpr std::uint32_t kSmallestModeTwoCapacity = 16384;

TEST(LayoutSweep, SamplesOfModeTwo) {
    Sweep(2, kSmallestModeTwoCapacity, kLargestFat16, 97);
    Sweep(2, kLargestFat16 + 1, kLargestCapacity, 40009);
}

TEST(LayoutSweep, ModeTwoRefusesTheSmallCapacitiesItCannotLayOut) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 2;
    for (std::uint32_t n = kSmallestCapacity; n < kSmallestModeTwoCapacity; ++n) {
        const char* fault = CheckCapacity(builder, n, true);
        if (fault != nullptr && !(std::string(fault) == "refused" && builder.m_errorText == "Capacity Too Small")) {
            FAIL() << n << " sectors: " << fault << " " << LayoutSnapshot::Of(builder);
        }
    }
}

TEST(LayoutSweep, ClusterTableBoundariesInEveryMode) {
    for (std::int32_t mode : {0, 1, 2}) {
        CFatDiskBuilder builder('E');
        builder.m_layoutMode = mode;
        for (std::uint32_t limit : {32680u, 262144u, 524288u, 1048576u, 2097152u, 4194304u, 16777216u, 33554432u,
                                    67108864u, 4294967294u}) {
            for (std::uint32_t n : {limit, limit + 1}) {
                const char* fault = CheckCapacity(builder, n, true);
                EXPECT_EQ(fault, nullptr) << "mode " << mode << ", " << n << " sectors " << LayoutSnapshot::Of(builder);
            }
        }
    }
}

}  // namespace
