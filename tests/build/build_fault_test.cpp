// Every command of a build and of a read-back failing in every way: the
// operation fails with its message, sends nothing more, and gives the volume
// back unlocked and closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>

#include "tests/build/build_fixture.h"

namespace {

enum class Operation { Build, ReadBack };

// 3915776 sectors: 7 writes, then 4 reads.
constexpr std::size_t kBuildCommands = 7;
constexpr std::size_t kReadBackCommands = 4;

DiskFault FaultOfKind(FaultKind kind, std::size_t at) {
    DiskFault fault;
    fault.kind = kind;
    fault.atCommand = at;
    fault.osError = ERROR_IO_DEVICE;
    return fault;
}

class CommandFaultTest
    : public BuildFixture,
      public ::testing::WithParamInterface<std::tuple<Operation, std::size_t, FaultKind>> {};

TEST_P(CommandFaultTest, FailsAtTheCommandAndReleasesTheVolume) {
    auto [operation, at, kind] = GetParam();
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    bool ok;
    if (operation == Operation::Build) {
        disk_->InjectFault(FaultOfKind(kind, at));
        ok = builder.Setup(kFat16Sectors, "USBHDDBOOT", true);
    } else {
        ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
        ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
        disk_->ClearTrace();
        sim_.Volumes().ClearEvents();
        disk_->InjectFault(FaultOfKind(kind, at));
        ok = builder.VerifyDisk();
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(builder.m_errorText, operation == Operation::Build ? "Write Data Command Failed"
                                                                 : "Read Data Command Failed");
    EXPECT_EQ(disk_->Trace().size(), at + 1) << "commands went on after the failing one";
    ExpectReleasedAfterLock();
}

std::string FaultKindName(FaultKind kind) {
    switch (kind) {
    case FaultKind::OsError: return "OsError";
    case FaultKind::CheckCondition: return "CheckCondition";
    case FaultKind::Busy: return "Busy";
    case FaultKind::DropWrite: return "DropWrite";
    }
    return "?";
}

std::string CommandFaultName(
    const ::testing::TestParamInfo<std::tuple<Operation, std::size_t, FaultKind>>& info) {
    return "Command" + std::to_string(std::get<1>(info.param)) +
           FaultKindName(std::get<2>(info.param));
}

INSTANTIATE_TEST_SUITE_P(
    Build, CommandFaultTest,
    ::testing::Combine(::testing::Values(Operation::Build),
                       ::testing::Range<std::size_t>(0, kBuildCommands),
                       ::testing::Values(FaultKind::OsError, FaultKind::CheckCondition,
                                         FaultKind::Busy)),
    CommandFaultName);

INSTANTIATE_TEST_SUITE_P(
    ReadBack, CommandFaultTest,
    ::testing::Combine(::testing::Values(Operation::ReadBack),
                       ::testing::Range<std::size_t>(0, kReadBackCommands),
                       ::testing::Values(FaultKind::OsError, FaultKind::CheckCondition,
                                         FaultKind::Busy)),
    CommandFaultName);

class VolumeFaultTest : public BuildFixture, public ::testing::WithParamInterface<Operation> {
protected:
    bool RunOperation(CFatDiskBuilder& builder) {
        if (GetParam() == Operation::Build) return builder.Setup(kFat16Sectors, "USBHDDBOOT", true);
        return builder.VerifyDisk();
    }
    void Prepare(CFatDiskBuilder& builder) {
        Plug(kFat16Sectors);
        if (GetParam() == Operation::ReadBack) {
            ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
            ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
            disk_->ClearTrace();
            sim_.Volumes().ClearEvents();
        }
    }
};

TEST_P(VolumeFaultTest, AVolumeThatCannotBeOpenedIsLeftAlone) {
    CFatDiskBuilder builder = MakeBuilder();
    Prepare(builder);
    sim_.Volumes().FailOpen(kLetter, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RunOperation(builder));
    EXPECT_EQ(builder.m_errorText, "CreatHadle Fail");
    EXPECT_TRUE(disk_->Trace().empty());
    std::vector<VolumeEvent> events = sim_.Volumes().Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], (VolumeEvent{VolumeEvent::Kind::Open, kLetter, kInvalidHandle,
                                      ERROR_ACCESS_DENIED}));
}

TEST_P(VolumeFaultTest, AVolumeThatCannotBeLockedIsClosedWithoutUnlocking) {
    CFatDiskBuilder builder = MakeBuilder();
    Prepare(builder);
    sim_.Volumes().FailControl(kLetter, FSCTL_LOCK_VOLUME, ERROR_ACCESS_DENIED, 0);
    EXPECT_FALSE(RunOperation(builder));
    EXPECT_EQ(builder.m_errorText, "Lock Volume Failed");
    EXPECT_TRUE(disk_->Trace().empty());
    using Kind = VolumeEvent::Kind;
    std::vector<VolumeEvent> events = sim_.Volumes().Events();
    // Ten locks 500 ms apart, the dismount, the last lock, the close.
    ASSERT_EQ(events.size(), 14u);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const VolumeEvent& e) { return e.kind == Kind::Lock; }),
              11);
    EXPECT_EQ(events[11].kind, Kind::Dismount);
    EXPECT_EQ(events[13], (VolumeEvent{Kind::Close, kLetter, events[0].handle, 0}));
    EXPECT_EQ(sim_.clock(), 4500);
}

constexpr char kStick = 'E';  // the fixture's drive

// A volume that another process holds (Explorer, AutoPlay, an indexer, a
// virus scanner) cannot be locked: the lock is tried again for a few
// seconds, then the volume is dismounted, which ends the other handles,
// and locked once more.
struct HolderCase {
    const char* name;
    std::function<void(platform::SimSystem&)> hold;
    std::int32_t lockedAt;  // virtual time of the lock that held
    bool dismountedToLock;
};

class VolumeHolderTest : public BuildFixture,
                         public ::testing::WithParamInterface<std::tuple<Operation, HolderCase>> {};

TEST_P(VolumeHolderTest, TheLockIsRetriedThenTheVolumeDismounted) {
    const auto& [operation, holder] = GetParam();
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    if (operation == Operation::ReadBack) {
        ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
        ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
    }
    sim_.Volumes().ClearEvents();
    holder.hold(sim_);
    const std::int32_t start = sim_.clock();
    EXPECT_TRUE(operation == Operation::Build ? builder.Setup(kFat16Sectors, "USBHDDBOOT", true) : builder.VerifyDisk())
        << builder.m_errorText;
    std::vector<VolumeEvent> events = sim_.Volumes().Events();
    auto firstPassThrough = std::find_if(events.begin(), events.end(), [](const VolumeEvent& e) {
        return e.kind == VolumeEvent::Kind::PassThrough;
    });
    EXPECT_EQ(std::find_if(events.begin(), firstPassThrough,
                           [](const VolumeEvent& e) { return e.kind == VolumeEvent::Kind::Dismount; }) !=
                  firstPassThrough,
              holder.dismountedToLock);
    EXPECT_EQ(std::prev(firstPassThrough)->kind, VolumeEvent::Kind::Lock);
    EXPECT_EQ(sim_.clock() - start, holder.lockedAt);
    ExpectReleasedAfterLock();
}

INSTANTIATE_TEST_SUITE_P(
    Holders, VolumeHolderTest,
    ::testing::Combine(
        ::testing::Values(Operation::Build, Operation::ReadBack),
        ::testing::Values(
            HolderCase{"LetGoAfterTwoSeconds",
                       [](platform::SimSystem& sim) {
                           sim.Volumes().HoldVolume(kStick);
                           sim.ScheduleAt(sim.clock() + 2000,
                                          [&sim] { sim.Volumes().LetGoOfVolume(kStick); });
                       },
                       2000, false},
            HolderCase{"NeverLetsGo", [](platform::SimSystem& sim) { sim.Volumes().HoldVolume(kStick); },
                       4500, true},
            HolderCase{"ComesBackAfterEveryUnlock",
                       [](platform::SimSystem& sim) { sim.Volumes().SetDesktopHolds(kStick, true); },
                       4500, true})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param) == Operation::Build ? "Build" : "ReadBack") +
               std::get<1>(info.param).name;
    });

TEST_P(VolumeFaultTest, AFailingUnlockIsNotReportedAndTheVolumeIsStillClosed) {
    CFatDiskBuilder builder = MakeBuilder();
    Prepare(builder);
    sim_.Volumes().FailControl(kLetter, FSCTL_UNLOCK_VOLUME, ERROR_IO_DEVICE);
    EXPECT_TRUE(RunOperation(builder)) << builder.m_errorText;
    EXPECT_EQ(sim_.Volumes().Events().back().kind, VolumeEvent::Kind::Close);
    EXPECT_FALSE(sim_.Volumes().IsLocked(kLetter));
}

INSTANTIATE_TEST_SUITE_P(Operations, VolumeFaultTest,
                         ::testing::Values(Operation::Build, Operation::ReadBack),
                         [](const auto& info) {
                             return std::string(info.param == Operation::Build ? "Build"
                                                                               : "ReadBack");
                         });

using BuildFaultTest = BuildFixture;

TEST_F(BuildFaultTest, AFailureInPhaseFourLeavesTheEarlierAreasWritten) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    disk_->InjectFault(FaultOfKind(FaultKind::CheckCondition, 4));  // first command of FAT copy 2
    EXPECT_FALSE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
    EXPECT_EQ(builder.m_errorText, "Write Data Command Failed");
    auto nonzero = [](const std::vector<std::uint8_t>& bytes) {
        return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
    };
    EXPECT_TRUE(nonzero(Sectors(0, 1)));    // MBR
    EXPECT_TRUE(nonzero(Sectors(63, 1)));   // boot sector
    EXPECT_TRUE(nonzero(Sectors(69, 1)));   // FAT copy 1
    EXPECT_FALSE(nonzero(Sectors(308, 1))); // FAT copy 2
    EXPECT_FALSE(nonzero(Sectors(547, 1))); // root area
    ExpectReleasedAfterLock();
}

// A write the disk drops answers GOOD; the compare finds every one that
// falls in an area it reads back.
class DroppedWriteTest : public BuildFixture,
                         public ::testing::WithParamInterface<std::size_t> {};

TEST_P(DroppedWriteTest, IsCaughtByTheReadBack) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    disk_->InjectFault(FaultOfKind(FaultKind::DropWrite, GetParam()));
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
    ASSERT_TRUE(disk_->Trace()[GetParam()].dropped);
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
    EXPECT_FALSE(builder.VerifyDisk());
    EXPECT_EQ(builder.m_errorText, "Read Back Data Mismatch");
    ExpectReleasedAfterLock();
}

// The MBR area, the reserved area, and the first command of each FAT copy.
INSTANTIATE_TEST_SUITE_P(ReadBackAreas, DroppedWriteTest, ::testing::Values(0, 1, 2, 4));

}  // namespace
