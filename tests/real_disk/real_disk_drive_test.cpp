// A real disk's drive on a fake tree, where the block node is a plain file:
// the volume lock as an exclusive open with its Windows rules, commands that
// change the medium only under the lock, and the restart through sysfs.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "device/pass_through_record.h"
#include "host/real_disk_drive.h"
#include "winmodel/emulated_volumes.h"
#include "winmodel/scsi_constants.h"
#include "platform/win_types.h"
#include "tests/real_disk/fake_system_tree.h"

namespace real_disk_test {
namespace {

using platform::host::HostDrive;
using platform::host::HostVolume;

constexpr std::uint8_t kInquiry = scsi::kOpInquiry;
constexpr std::uint8_t kWrite10 = scsi::kOpWrite10;
constexpr std::uint8_t kSynchronizeCache = 0x35;

class RealDiskDriveTest : public testing::Test {
protected:
    void SetUp() override {
        tree_.AddDisk(FakeDisk{});
        std::string error;
        drive_ = platform::host::OpenRemovableDisk(tree_.Roots(), (tree_.Root() / "dev" / "sdb").string(), &error);
        ASSERT_NE(drive_, nullptr) << error;
    }

    std::unique_ptr<HostVolume> Open() {
        std::uint32_t error = 0;
        auto volume = drive_->OpenVolume(GENERIC_READ | GENERIC_WRITE, &error);
        EXPECT_EQ(error, 0u);
        return volume;
    }

    static std::uint32_t Control(HostVolume& volume, std::uint32_t code) {
        std::uint32_t returned = 0;
        return volume.Control(code, nullptr, 0, nullptr, 0, &returned);
    }

    // A command through the volume; the fake node is no SCSI device, so a
    // command that gets past the drive's own checks ends in ERROR_NOT_SUPPORTED.
    static std::uint32_t Send(HostVolume& volume, std::uint8_t opcode, std::uint8_t direction) {
        static std::uint8_t buffer[512];
        PassThroughRecord record;
        std::memset(&record, 0, sizeof record);
        record.sptd.Length = kPassThroughStructSize;
        record.sptd.CdbLength = 12;
        record.sptd.DataIn = direction;
        record.sptd.DataTransferLength = direction == SCSI_IOCTL_DATA_UNSPECIFIED ? 0 : sizeof buffer;
        record.sptd.DataBuffer = direction == SCSI_IOCTL_DATA_UNSPECIFIED ? nullptr : buffer;
        record.sptd.TimeOutValue = 4;
        record.sptd.Cdb[0] = opcode;
        std::uint32_t returned = 0;
        return volume.Control(IOCTL_SCSI_PASS_THROUGH_DIRECT, &record, sizeof record, &record, sizeof record,
                              &returned);
    }

    FakeSystemTree tree_;
    std::unique_ptr<HostDrive> drive_;
};

TEST_F(RealDiskDriveTest, LockFollowsTheWindowsRules) {
    auto first = Open();
    {
        auto second = Open();
        EXPECT_EQ(Control(*first, FSCTL_LOCK_VOLUME), ERROR_ACCESS_DENIED) << "another handle is open";
    }
    EXPECT_EQ(Control(*first, FSCTL_LOCK_VOLUME), 0u);
    EXPECT_EQ(Control(*first, FSCTL_LOCK_VOLUME), 0u) << "the holder may lock again";
    std::uint32_t error = 0;
    EXPECT_EQ(drive_->OpenVolume(GENERIC_READ | GENERIC_WRITE, &error), nullptr);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED) << "no new handle while locked";
    EXPECT_EQ(Control(*first, FSCTL_UNLOCK_VOLUME), 0u);
    EXPECT_EQ(Control(*first, FSCTL_UNLOCK_VOLUME), kErrorNotLocked);

    Control(*first, FSCTL_LOCK_VOLUME);
    first.reset();  // closing the holder releases the lock
    auto again = Open();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Control(*again, FSCTL_LOCK_VOLUME), 0u);
}

TEST_F(RealDiskDriveTest, CommandsThatChangeTheMediumNeedTheLock) {
    auto volume = Open();
    EXPECT_EQ(Send(*volume, kInquiry, SCSI_IOCTL_DATA_IN), ERROR_NOT_SUPPORTED) << "reads are sent";
    EXPECT_EQ(Send(*volume, kWrite10, SCSI_IOCTL_DATA_OUT), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Send(*volume, kSynchronizeCache, SCSI_IOCTL_DATA_UNSPECIFIED), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Send(*volume, kInquiry, SCSI_IOCTL_DATA_OUT), ERROR_ACCESS_DENIED) << "data out, whatever the opcode";
    ASSERT_EQ(Control(*volume, FSCTL_LOCK_VOLUME), 0u);
    EXPECT_EQ(Send(*volume, kWrite10, SCSI_IOCTL_DATA_OUT), ERROR_NOT_SUPPORTED) << "sent under the lock";
}

TEST_F(RealDiskDriveTest, LockIsRefusedOnceAPartitionIsMounted) {
    auto volume = Open();
    tree_.AddMount("50 1 8:17 / /media/stick rw - vfat /dev/sdb1 rw");
    EXPECT_EQ(Control(*volume, FSCTL_LOCK_VOLUME), ERROR_ACCESS_DENIED);
}

TEST_F(RealDiskDriveTest, RestartDeletesAndRescansTheScsiDeviceAndEndsOldHandles) {
    auto volume = Open();
    ASSERT_EQ(drive_->Restart(), 0u);
    EXPECT_EQ(FakeSystemTree::Read(tree_.Root() / "sys" / "block" / "sdb" / "device" / "delete"), "1");
    EXPECT_EQ(FakeSystemTree::Read(tree_.Root() / "sys" / "class" / "scsi_host" / "host6" / "scan"), "0 0 0");
    EXPECT_EQ(Control(*volume, FSCTL_LOCK_VOLUME), kErrorDeviceNotConnected);
    EXPECT_TRUE(drive_->IsPresent());
    auto fresh = Open();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(Control(*fresh, FSCTL_LOCK_VOLUME), 0u);
}

TEST_F(RealDiskDriveTest, RestartWithoutTheSysfsControlsRereadsThePartitionsAndReportsItsFailure) {
    fs::remove(tree_.Root() / "sys" / "block" / "sdb" / "device" / "delete");
    // BLKRRPART on the fake node, a plain file, fails: the restart must say so.
    EXPECT_EQ(drive_->Restart(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(FakeSystemTree::Read(tree_.Root() / "sys" / "class" / "scsi_host" / "host6" / "scan"), "");
}

TEST_F(RealDiskDriveTest, TheDiskIsAwayWhileSysfsDoesNotShowItsAddress) {
    fs::remove(tree_.Root() / "sys" / "block" / "sdb");
    EXPECT_FALSE(drive_->IsPresent());
}

TEST_F(RealDiskDriveTest, FileNamesStayInTheRootOfTheVolume) {
    for (const char* name : {"../IO.SYS", "sub/IO.SYS", "", ".."}) {
        std::uint32_t error = 0;
        EXPECT_EQ(drive_->CreateMountedFile(name, &error), nullptr) << name;
        EXPECT_EQ(error, ERROR_INVALID_PARAMETER) << name;
    }
}

}  // namespace
}  // namespace real_disk_test
