// The simulated PC's drive table, device-change reports, virtual clock and
// last-error codes.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "device/scsi_channel.h"
#include "tests/device/sim_fixture.h"

namespace {

using SimSystemTest = SimFixture;

TEST_F(SimSystemTest, LogicalDriveStringsListEveryDriveInLetterOrder) {
    sim_.AddDrive('F', DRIVE_REMOVABLE);
    sim_.AddDrive('C', DRIVE_FIXED);
    PlugDisk(64, 'E');
    char buffer[32];
    std::uint32_t length = sim_.GetLogicalDriveStringsA(sizeof buffer, buffer);
    EXPECT_EQ(length, 12u);
    EXPECT_EQ(std::string(buffer, 13), std::string("C:\\\0E:\\\0F:\\\0\0", 13));
    // Too small: nothing written, the size needed returned.
    char small[12] = "untouched";
    EXPECT_EQ(sim_.GetLogicalDriveStringsA(sizeof small, small), 13u);
    EXPECT_STREQ(small, "untouched");
}

TEST_F(SimSystemTest, DriveTypesComeFromTheTable) {
    sim_.AddDrive('C', DRIVE_FIXED);
    PlugDisk(64, 'E');
    EXPECT_EQ(sim_.GetDriveTypeA("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(sim_.GetDriveTypeA("e:\\"), DRIVE_REMOVABLE);
    EXPECT_EQ(sim_.GetDriveTypeA("G:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(sim_.GetDriveTypeA("E:\\IO.SYS"), DRIVE_NO_ROOT_DIR);
    sim_.RemoveDrive('E');
    EXPECT_EQ(sim_.GetDriveTypeA("E:\\"), DRIVE_NO_ROOT_DIR);
}

TEST_F(SimSystemTest, PluggingAndPullingAreReportedToTheListener) {
    std::vector<std::uint32_t> events;
    sim_.SetDeviceChangeListener([&](std::uint32_t event) {
        // The listener may look at the drives it is told about.
        sim_.GetDriveTypeA("E:\\");
        events.push_back(event);
    });
    PlugDisk(64);
    sim_.RemoveDrive('E');
    sim_.RemoveDrive('E');  // nothing there: no report
    EXPECT_EQ(events, (std::vector<std::uint32_t>{0x8000, 0x8004}));
}

TEST_F(SimSystemTest, SleepAdvancesTheVirtualClockAndRunsWhatFallsDue) {
    std::vector<std::int32_t> ranAt;
    sim_.ScheduleAt(2500, [&] { ranAt.push_back(sim_.clock()); });
    sim_.ScheduleAt(1000, [&] {
        ranAt.push_back(sim_.clock());
        PlugDisk(64, 'H');
    });
    EXPECT_EQ(sim_.clock(), 0);
    sim_.Sleep(1500);
    EXPECT_EQ(sim_.clock(), 1500);
    EXPECT_EQ(ranAt, (std::vector<std::int32_t>{1000}));
    EXPECT_EQ(sim_.GetDriveTypeA("H:\\"), DRIVE_REMOVABLE);
    sim_.Sleep(1000);
    EXPECT_EQ(ranAt, (std::vector<std::int32_t>{1000, 2500}));
    EXPECT_EQ(sim_.clock(), 2500);
}

TEST_F(SimSystemTest, LastErrorBelongsToTheCallingThread) {
    EXPECT_EQ(sim_.CreateFileA("\\\\.\\Q:", GENERIC_READ, 3, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(sim_.GetLastError(), ERROR_FILE_NOT_FOUND);
    std::uint32_t otherThread = 99;
    std::thread([&] { otherThread = sim_.GetLastError(); }).join();
    EXPECT_EQ(otherThread, 0u);
}

// Nothing plugged in, no registry values, no disk devices: every service
// call answers the way the real call does.
TEST_F(SimSystemTest, ServicesOfAnEmptyPcFailCleanly) {
    platform::RegKey key = reinterpret_cast<platform::RegKey>(1);
    EXPECT_NE(sim_.RegOpenKeyExA(kHkeyLocalMachine, "SYSTEM", 0, KEY_READ, &key), 0);
    EXPECT_EQ(key, nullptr);
    // As on Windows, the device list of a class without devices is empty, not refused.
    platform::DevInfoSet set = sim_.SetupDiGetClassDevsA(&kGuidDevClassDiskDrive, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, kInvalidHandle);
    platform::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    EXPECT_FALSE(sim_.SetupDiEnumDeviceInfo(set, 0, &device));
    EXPECT_EQ(sim_.GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(sim_.SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(sim_.FindResourceA(nullptr, 129, "AP"), nullptr);
    EXPECT_EQ(sim_.CreateFileA("E:\\IO.SYS", GENERIC_WRITE, 0, CREATE_ALWAYS, 0), kInvalidHandle);
    EXPECT_NE(sim_.GetLastError(), 0u);
    EXPECT_FALSE(sim_.SetFileAttributesA("E:\\IO.SYS", FILE_ATTRIBUTE_HIDDEN));
}

// The file rules of the Windows model, the same for every kind of drive:
// only a name in the root of a present drive, and only names Windows allows.
TEST_F(SimSystemTest, FilesAreMadeOnlyInTheRootOfAPresentDrive) {
    PlugDisk(64);
    struct Case {
        const char* path;
        std::uint32_t error;
    };
    for (const Case& c : {Case{"E:\\", kErrorPathNotFound}, Case{"E:IO.SYS", kErrorPathNotFound},
                          Case{"E:\\DOS\\IO.SYS", kErrorPathNotFound}, Case{"E:\\a/b", kErrorPathNotFound},
                          Case{"F:\\IO.SYS", kErrorPathNotFound}, Case{"E:\\..", kErrorInvalidName},
                          Case{"E:\\A*B", kErrorInvalidName}, Case{"E:\\A\x01", kErrorInvalidName}}) {
        EXPECT_EQ(sim_.CreateFileA(c.path, GENERIC_WRITE, 0, CREATE_ALWAYS, 0), kInvalidHandle) << c.path;
        EXPECT_EQ(sim_.GetLastError(), c.error) << c.path;
        EXPECT_FALSE(sim_.SetFileAttributesA(c.path, 0)) << c.path;
    }
    EXPECT_TRUE(sim_.Files('E').empty());
}

TEST_F(SimSystemTest, AFileOfADiskThatWentAwayIsLost) {
    PlugFormattedDisk(16384);
    platform::Handle file = sim_.CreateFileA("E:\\IO.SYS", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    ASSERT_NE(file, kInvalidHandle);
    sim_.SetRestartPlan('E', {0, 100});
    ASSERT_EQ(sim_.RestartDrive('E'), 0u);
    std::uint32_t written = 0;
    EXPECT_FALSE(sim_.WriteFile(file, "x", 1, &written));
    EXPECT_EQ(sim_.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_FALSE(sim_.CloseHandle(file));
    EXPECT_EQ(sim_.OpenFileCount(), 0u);
    sim_.Sleep(100);
    EXPECT_EQ(sim_.GetDriveTypeA("E:\\"), DRIVE_REMOVABLE);
    // The directory entry was made when the file was; its bytes never came.
    for (const platform::SimSystem::SimFile& left : sim_.Files('E')) EXPECT_TRUE(left.data.empty()) << left.name;
}

TEST_F(SimSystemTest, TwoThreadsCanDriveTwoVolumesWhileTheDrivesChange) {
    auto e = PlugDisk(1024, 'E');
    auto f = PlugDisk(1024, 'F');
    auto worker = [&](char letter, std::uint8_t fill) {
        CScsiChannel channel;
        ASSERT_EQ(channel.OpenVolume(letter), 0);
        ASSERT_FALSE(channel.LockVolume(letter));
        std::vector<std::uint8_t> out(8 * 512, fill), in(8 * 512);
        for (std::uint32_t lba = 0; lba < 1024; lba += 8) {
            ASSERT_FALSE(channel.WriteBlocks(letter, lba, 8, out.data()));
            ASSERT_FALSE(channel.ReadBlocks(letter, lba, 8, in.data()));
            ASSERT_EQ(in, out);
        }
        channel.UnlockVolume(letter);
        channel.CloseVolume();
    };
    std::thread first(worker, 'E', 0x11);
    std::thread second(worker, 'F', 0x22);
    for (int i = 0; i < 50; ++i) {
        sim_.AddDrive('G', DRIVE_REMOVABLE);
        char buffer[64];
        sim_.GetLogicalDriveStringsA(sizeof buffer, buffer);
        sim_.RemoveDrive('G');
        sim_.Sleep(10);
    }
    first.join();
    second.join();
    EXPECT_EQ(e->Trace().size(), 256u);
    EXPECT_EQ(f->Trace().size(), 256u);
}

}  // namespace
