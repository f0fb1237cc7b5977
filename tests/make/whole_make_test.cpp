// The whole make on sticks of both FAT types: the log, the boxes, the eight
// files with their contents and attributes, the timing of the worker on the
// virtual clock, and the busy flag and controls through every state.
#include "tests/make/make_fixture.h"

namespace {

constexpr int kSwitchedControls[] = {IDC_DRIVE_COMBO, IDC_MAKE_BUTTON, IDC_ZIP_RADIO, IDC_HDD_RADIO, IDC_LABEL_EDIT};
constexpr const char* kConfirmation =
    "Current Choose is device E:\\ ,If yes,all data will be disappear, Are you sure?";

class WholeMakeTest : public MakeFixture, public ::testing::WithParamInterface<std::uint32_t> {};

bool ControlsEnabled(const DialogFixture& fixture, HWND window) {
    (void)fixture;
    bool all = true;
    for (int id : kSwitchedControls) all = all && headless::IsWindowEnabled(headless::DialogItem(window, id));
    return all;
}

bool ControlsDisabled(HWND window) {
    for (int id : kSwitchedControls) {
        if (headless::IsWindowEnabled(headless::DialogItem(window, id))) return false;
    }
    return true;
}

TEST_P(WholeMakeTest, BuildsTheDiskAndInstallsTheEightFiles) {
    const std::uint32_t sectors = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartWithStick(sectors));

    // Busy and disabled while the operator confirms and while the worker runs.
    bool busyWhileConfirming = false;
    bool disabledWhileConfirming = false;
    op_.OnEveryBox([&](const headless::ScriptedOperator::Box& box) {
        if (box.type != MB_YESNO) return;
        busyWhileConfirming = Dialog().m_busy;
        disabledWhileConfirming = ControlsDisabled(window_);
    });
    bool busyInWorker = false;
    bool disabledInWorker = false;
    System().ScheduleAt(1500, [&] {
        busyInWorker = Dialog().m_busy;
        disabledInWorker = ControlsDisabled(window_);
    });

    ASSERT_NO_FATAL_FAILURE(Make());

    // Drive back at once: first poll at 1 s, settle to 2 s, eight files
    // 500 ms apart, done at 5.5 s (the build costs no virtual time).
    const std::vector<std::string> expectedLog = {
        "'E:\\ ' Total Sector = " + std::to_string(sectors) + "\n",
        "Build FAT = 0.0 seconds \r\n",
        "Compare FAT = 0.0 seconds \r\n",
        "Done. Total time spent = 5.5 seconds \r\n",
    };
    EXPECT_EQ(LogLines(), expectedLog);
    ASSERT_EQ(op_.BoxTexts(), std::vector<std::string>{kConfirmation});
    EXPECT_EQ(op_.Boxes()[0].type, static_cast<UINT>(MB_YESNO));

    const std::vector<platform::SimSystem::SimFile> files = System().Files('E');
    ASSERT_EQ(files.size(), kExpectedFiles.size());
    for (std::size_t index = 0; index < files.size(); ++index) {
        SCOPED_TRACE(kExpectedFiles[index].name);
        EXPECT_EQ(files[index].name, kExpectedFiles[index].name);
        EXPECT_EQ(files[index].attributes, kExpectedFiles[index].attributes);
        EXPECT_EQ(files[index].createdAt, 2000 + 500 * static_cast<std::int32_t>(index));
        EXPECT_EQ(files[index].data, PayloadBytes(kExpectedFiles[index].name));
    }
    EXPECT_EQ(std::string(files.back().data.begin(), files.back().data.end()), "VORN -f");

    EXPECT_EQ(System().ClassDevsCallCount(), 1u);
    EXPECT_EQ(System().RestartCount(), 1u);
    EXPECT_STREQ(Dialog().m_deviceInstanceId, kStickInstanceId);
    EXPECT_EQ(Dialog().m_startClock, 0);
    EXPECT_EQ(Dialog().m_endClock, 5500);
    EXPECT_DOUBLE_EQ(Dialog().m_elapsedSeconds, 5.5);
    EXPECT_EQ(Dialog().m_lastMake.FailedPhase(), MakePhase::kNone);
    EXPECT_TRUE(Dialog().m_lastMake.Completed());

    EXPECT_TRUE(busyWhileConfirming);
    EXPECT_TRUE(disabledWhileConfirming);
    EXPECT_TRUE(busyInWorker);
    EXPECT_TRUE(disabledInWorker);
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_TRUE(ControlsEnabled(*this, window_));
    EXPECT_EQ(System().OpenHandleCount(), 0u);
    EXPECT_EQ(System().OpenFileCount(), 0u);
    EXPECT_EQ(System().OpenRegistryKeyCount(), 0u);
    EXPECT_EQ(System().OpenDeviceListCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sticks, WholeMakeTest, ::testing::Values(kSmallStickSectors, kLargeStickSectors),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return "Sectors" + std::to_string(info.param);
                         });

// When the drive returns decides when the files are written: the drive list
// is polled once a second from 1 s after the restart, and the first file
// follows the poll that finds the drive by 1 s.
struct ReturnCase {
    const char* name;
    std::uint32_t replugAfterMs;
    std::int32_t firstFileAt;
};

class DriveReturnTest : public MakeFixture, public ::testing::WithParamInterface<ReturnCase> {};

TEST_P(DriveReturnTest, FilesFollowThePollThatFindsTheDrive) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    System().SetRestartPlan('E', {0, GetParam().replugAfterMs});
    ASSERT_NO_FATAL_FAILURE(Make());

    const std::vector<platform::SimSystem::SimFile> files = System().Files('E');
    ASSERT_EQ(files.size(), kExpectedFiles.size());
    EXPECT_EQ(files.front().createdAt, GetParam().firstFileAt);
    EXPECT_EQ(files.back().createdAt, GetParam().firstFileAt + 7 * 500);
    char done[64];
    std::snprintf(done, sizeof done, "Done. Total time spent = %2.1f seconds \r\n",
                  (GetParam().firstFileAt + 3500) * 0.001);
    EXPECT_EQ(LogLines().back(), done);
}

INSTANTIATE_TEST_SUITE_P(Delays, DriveReturnTest,
                         ::testing::Values(ReturnCase{"BackBeforeTheFirstPoll", 400, 2000},
                                           ReturnCase{"BackAtTheFirstPoll", 1000, 2000},
                                           ReturnCase{"BackJustAfterTheFirstPoll", 1001, 3000},
                                           ReturnCase{"BackAtTheLastPoll", 60000, 61000}),
                         [](const ::testing::TestParamInfo<ReturnCase>& info) { return std::string(info.param.name); });

// The restart is tried until it succeeds, at most three times; a restart
// that never succeeds leaves the drive in place and the files still go on.
struct RestartCase {
    const char* name;
    unsigned failingAttempts;
    std::size_t expectedCalls;
    std::size_t expectedRestarts;
};

class RestartAttemptsTest : public MakeFixture, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RestartAttemptsTest, RetriesUpToThreeTimes) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    System().SetRestartPlan('E', {GetParam().failingAttempts, 0});
    ASSERT_NO_FATAL_FAILURE(Make());

    EXPECT_EQ(System().ClassDevsCallCount(), GetParam().expectedCalls);
    EXPECT_EQ(System().InstallerCallCount(), GetParam().expectedCalls);
    EXPECT_EQ(System().RestartCount(), GetParam().expectedRestarts);
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_EQ(LogLines().size(), 4u);
    EXPECT_EQ(op_.Boxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Attempts, RestartAttemptsTest,
                         ::testing::Values(RestartCase{"FirstSucceeds", 0, 1, 1},
                                           RestartCase{"ThirdSucceeds", 2, 3, 1},
                                           RestartCase{"AllFail", 3, 3, 0}),
                         [](const ::testing::TestParamInfo<RestartCase>& info) { return std::string(info.param.name); });

TEST_F(MakeFixture, AnsweringNoSendsNothingAndLeavesTheLogEmpty) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    disk_->ClearTrace();
    ASSERT_NO_FATAL_FAILURE(Make(IDNO));

    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(disk_->Trace().empty());
    EXPECT_EQ(op_.BoxTexts(), std::vector<std::string>{kConfirmation});
    EXPECT_EQ(System().ClassDevsCallCount(), 0u);
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_TRUE(ControlsEnabled(*this, window_));
}

TEST_F(MakeFixture, ASecondMakeOnTheSameStickReplacesTheFiles) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    ASSERT_NO_FATAL_FAILURE(Make());
    op_.Forget();
    ASSERT_NO_FATAL_FAILURE(Make());
    EXPECT_EQ(LogLines().size(), 4u);
    EXPECT_EQ(op_.Boxes().size(), 1u);
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_EQ(System().RestartCount(), 2u);
}

}  // namespace
