// Every way the first half of a make fails: the box, then the log line, and
// the dialog back to idle; and the refusals that protect a running make.
#include <functional>

#include "device/scsi_constants.h"
#include "tests/make/make_fixture.h"

namespace {

using scsi::kOpRead10;
using scsi::kOpReadCapacity10;
using scsi::kOpWrite10;

constexpr const char* kConfirmation =
    "Current Choose is device E:\\ ,If yes,all data will be disappear, Are you sure?";
const std::string kTotalLine = "'E:\\ ' Total Sector = 3915776\n";
const std::string kBuildLine = "Build FAT = 0.0 seconds \r\n";
const std::string kCompareLine = "Compare FAT = 0.0 seconds \r\n";

struct FailureCase {
    const char* name;
    std::uint64_t sectors;
    std::uint32_t blockLength;
    std::function<void(platform::SimSystem&, EmulatedScsiDisk&)> inject;
    // The box after the confirmation; its text, with "\n", ends the log.
    std::string box;
    std::vector<std::string> logBefore;  // lines ahead of the failure line
    std::string logLine;                 // empty: the same as the box
    bool anyWrite;                       // whether WRITE(10) reached the disk
    MakePhase phase;                     // as the dialog records it
};

class MakeFailureTest : public MakeFixture, public ::testing::WithParamInterface<FailureCase> {};

std::size_t CountOf(const EmulatedScsiDisk& disk, std::uint8_t opcode) {
    std::size_t count = 0;
    for (const TracedCommand& command : disk.Trace()) count += command.opcode == opcode ? 1 : 0;
    return count;
}

TEST_P(MakeFailureTest, BoxesLogsAndReturnsToIdle) {
    const FailureCase& failure = GetParam();
    disk_ = EmulatedScsiDisk::InMemory(failure.sectors, failure.blockLength);
    System().AddDrive('E', DRIVE_REMOVABLE, disk_);
    System().AddDiskDevice('E', kStickDeviceNumber, kStickInstanceId);
    System().SetRegistryString(kDiskEnumKey, "1", kStickInstanceId);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    op_.Forget();
    failure.inject(System(), *disk_);

    ASSERT_NO_FATAL_FAILURE(Make());

    const std::vector<std::string> boxes = op_.BoxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], kConfirmation);
    EXPECT_EQ(boxes[1].rfind(failure.box, 0), 0u) << boxes[1];
    EXPECT_EQ(op_.Boxes()[1].type, static_cast<UINT>(MB_OK));
    std::vector<std::string> expectedLog = failure.logBefore;
    expectedLog.push_back((failure.logLine.empty() ? boxes[1] : failure.logLine) + "\n");
    EXPECT_EQ(LogLines(), expectedLog);
    EXPECT_EQ(Dialog().m_lastMake.FailedPhase(), failure.phase);
    EXPECT_FALSE(Dialog().m_lastMake.Completed());

    EXPECT_EQ(CountOf(*disk_, kOpWrite10) > 0, failure.anyWrite);
    EXPECT_EQ(System().ClassDevsCallCount(), 0u) << "the worker must not start";
    EXPECT_TRUE(System().Files('E').empty());
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_MAKE_BUTTON)));
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_DRIVE_COMBO)));
    EXPECT_EQ(System().OpenHandleCount(), 0u);
}

DiskFault FaultOn(std::uint8_t opcode) {
    DiskFault fault;
    fault.kind = FaultKind::CheckCondition;
    fault.opcode = opcode;
    return fault;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, MakeFailureTest,
    ::testing::Values(
        FailureCase{"ReadCapacityFails", kSmallStickSectors, 512,
                    [](platform::SimSystem&, EmulatedScsiDisk& disk) { disk.InjectFault(FaultOn(kOpReadCapacity10)); },
                    "Issue GetCapacity CMD Fail !!!", {}, "Can't get Devive GetCapacity.", false, MakePhase::kCapacity},
        // The last address 0xFFFFFFFF wraps the sector count to 0.
        FailureCase{"CapacityWrapsToZero", 0x100000000ull, 512, [](platform::SimSystem&, EmulatedScsiDisk&) {},
                    "Capacity = 0 !!!", {"'E:\\ ' Total Sector = 0\n"}, "Capacity = 0 !!!.", false, MakePhase::kCapacity},
        FailureCase{"SectorsOf4096Bytes", kSmallStickSectors, 4096, [](platform::SimSystem&, EmulatedScsiDisk&) {},
                    "Sector Size Not Supported !!!", {kTotalLine}, "", false, MakePhase::kCapacity},
        FailureCase{"BuildFails", kSmallStickSectors, 512,
                    [](platform::SimSystem&, EmulatedScsiDisk& disk) { disk.InjectFault(FaultOn(kOpWrite10)); },
                    "Build FAT Fail-", {kTotalLine}, "", true, MakePhase::kBuild},
        FailureCase{"ReadBackFails", kSmallStickSectors, 512,
                    [](platform::SimSystem&, EmulatedScsiDisk& disk) { disk.InjectFault(FaultOn(kOpRead10)); },
                    "Compare FAT Fail-", {kTotalLine, kBuildLine}, "", true, MakePhase::kReadBack},
        FailureCase{"DeviceNumberFails", kSmallStickSectors, 512,
                    [](platform::SimSystem& system, EmulatedScsiDisk&) {
                        system.Volumes().FailControl('E', IOCTL_STORAGE_GET_DEVICE_NUMBER, ERROR_INVALID_PARAMETER, 0);
                    },
                    "Get Disk ID Fail", {kTotalLine, kBuildLine, kCompareLine}, "", true, MakePhase::kDeviceIdentity}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(MakeFixture, NoSelectedEntryIsRefusedBeforeAnythingIsSent) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    disk_->ClearTrace();
    // The operator typed into the combo box's text field: no entry is selected.
    Dialog().m_driveCombo.SetCurSel(-1);
    ASSERT_TRUE(headless::ClickButton(window_, IDC_MAKE_BUTTON));
    WaitIdle();

    EXPECT_EQ(op_.BoxTexts(), std::vector<std::string>{"No Device Selected !"});
    EXPECT_TRUE(disk_->Trace().empty());
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_MAKE_BUTTON)));
}

// While the worker runs, the close box and Esc are refused with a box; the
// dialog stays until the make has ended and closes normally afterwards.
TEST_F(MakeFixture, ClosingWhileTheWorkerRunsIsRefused) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    System().ScheduleAt(1500, [&] {
        EXPECT_TRUE(headless::CloseDialog(window_));
        EXPECT_TRUE(Dialog().PostMessage(WM_COMMAND, IDCANCEL, 0));  // Esc
        EXPECT_TRUE(headless::WaitUntilIdle(window_, kWaitLimit));
    });
    ASSERT_NO_FATAL_FAILURE(Make());

    EXPECT_TRUE(headless::IsWindow(window_));
    const std::vector<std::string> boxes = op_.BoxTexts();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1], "Making VORN Disk, please wait !");
    EXPECT_EQ(boxes[2], "Making VORN Disk, please wait !");
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_FALSE(CloseProgram());
}

// A drive that never comes back ends the make after a minute of polls,
// without any file.
TEST_F(MakeFixture, ADriveThatNeverReturnsEndsTheMakeAfterSixtyPolls) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    System().SetRestartPlan('E', {0, std::nullopt});
    bool busyAtLastPoll = false;
    // Let the dialog take the removal while the make still runs: handled
    // after the make it would rescan and add a "no device" box.
    System().ScheduleAt(1500, [&] { EXPECT_TRUE(headless::WaitUntilIdle(window_, kWaitLimit)); });
    System().ScheduleAt(59999, [&] { busyAtLastPoll = Dialog().m_busy; });
    ASSERT_NO_FATAL_FAILURE(Make());

    EXPECT_EQ(LogLines(), (std::vector<std::string>{kTotalLine, kBuildLine, kCompareLine,
                                                    "Can't find Device after Restart !!!\n"}));
    const std::vector<std::string> boxes = op_.BoxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], "Can't find Device after Restart !!!");
    EXPECT_EQ(Dialog().m_lastMake.FailedPhase(), MakePhase::kDriveBack);
    EXPECT_EQ(System().clock(), 60000);
    EXPECT_TRUE(busyAtLastPoll);
    EXPECT_TRUE(System().Files('E').empty());
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_MAKE_BUTTON)));
}

}  // namespace
