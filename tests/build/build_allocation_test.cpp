// A phase buffer that cannot be had: the build and the read-back give the
// volume back and fail with "Allocate Memory Failed".
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/build/build_fixture.h"

namespace {
// Array allocations of exactly this many bytes fail (0: none do).
std::atomic<std::size_t> failingAllocationSize{0};
}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (size != 0 && size == failingAllocationSize.load()) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

class AllocationFailureTest : public BuildFixture {
protected:
    void TearDown() override {
        failingAllocationSize = 0;
        BuildFixture::TearDown();
    }
};

// 3915776 sectors: MBR area 63, reserved area 6, FAT 239, root 32 sectors.
// A phase's buffer holds its area, or one command (128 sectors) of a longer
// one.
struct PhaseCase {
    const char* name;
    std::size_t bufferSectors;
    std::size_t commandsBefore;
};

class BuildPhaseAllocationTest : public AllocationFailureTest,
                                 public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(BuildPhaseAllocationTest, ReleasesTheVolumeAndSendsNothingMore) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    failingAllocationSize = GetParam().bufferSectors * 512;
    EXPECT_FALSE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
    EXPECT_EQ(builder.m_errorText, "Allocate Memory Failed");
    EXPECT_EQ(disk_->Trace().size(), GetParam().commandsBefore);
    ExpectReleasedAfterLock();
}

INSTANTIATE_TEST_SUITE_P(Phases, BuildPhaseAllocationTest,
                         ::testing::Values(PhaseCase{"MbrArea", 63, 0},
                                           PhaseCase{"ReservedArea", 6, 1},
                                           PhaseCase{"Fat", 128, 2},
                                           PhaseCase{"RootArea", 32, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AllocationFailureTest, ReadBackReleasesTheVolume) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
    disk_->ClearTrace();
    failingAllocationSize = 6 * 512;  // the reserved area's read buffer
    EXPECT_FALSE(builder.VerifyDisk());
    EXPECT_EQ(builder.m_errorText, "Allocate Memory Failed");
    EXPECT_EQ(disk_->Trace().size(), 1u);
    ExpectReleasedAfterLock();
}

}  // namespace
