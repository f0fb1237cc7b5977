// A real disk's drive on a fake tree, where the block node is a plain file,
// attached to the Linux backend as E:: the volume lock as an exclusive open
// with the Windows rules, commands that change the medium only under the
// lock, and the restart through sysfs.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "device/pass_through_record.h"
#include "device/scsi_constants.h"
#include "host/host_system.h"
#include "host/removable_disks.h"
#include "platform/win_types.h"
#include "tests/real_disk/fake_system_tree.h"
#include "winmodel/model_errors.h"

namespace real_disk_test {
namespace {

constexpr std::uint8_t kInquiry = scsi::kOpInquiry;
constexpr std::uint8_t kWrite10 = scsi::kOpWrite10;
constexpr std::uint8_t kSynchronizeCache = 0x35;
constexpr const char* kVolume = "\\\\.\\E:";

class RealDiskDriveTest : public testing::Test {
protected:
    void SetUp() override {
        tree_.AddDisk(FakeDisk{});
        std::string error;
        std::shared_ptr<platform::ModelDrive> drive =
            platform::host::OpenRemovableDisk(tree_.Roots(), (tree_.Root() / "dev" / "sdb").string(), &error);
        ASSERT_NE(drive, nullptr) << error;
        drive_ = drive.get();
        host_.AttachDrive('E', std::move(drive));
    }
    void TearDown() override { EXPECT_EQ(host_.OpenHandleCount(), 0u); }

    // A handle on the volume, closed at the end of its scope.
    struct Volume {
        platform::HostSystem& host;
        platform::Handle handle;
        ~Volume() {
            if (handle != kInvalidHandle) host.CloseHandle(handle);
        }
    };
    std::unique_ptr<Volume> Open() {
        platform::Handle handle = host_.CreateFileA(kVolume, GENERIC_READ | GENERIC_WRITE, 3, OPEN_EXISTING, 0);
        EXPECT_NE(handle, kInvalidHandle) << host_.GetLastError();
        return std::unique_ptr<Volume>(new Volume{host_, handle});
    }

    // 0, or the error of the control call.
    std::uint32_t Control(const Volume& volume, std::uint32_t code, void* in = nullptr,
                          std::uint32_t inSize = 0) {
        std::uint32_t returned = 0;
        if (host_.DeviceIoControl(volume.handle, code, in, inSize, in, inSize, &returned)) return 0;
        return host_.GetLastError();
    }

    // A command through the volume; the fake node is no SCSI device, so a
    // command that gets past the Windows model's and the drive's checks
    // ends in ERROR_NOT_SUPPORTED.
    std::uint32_t Send(const Volume& volume, std::uint8_t opcode, std::uint8_t direction) {
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
        return Control(volume, IOCTL_SCSI_PASS_THROUGH_DIRECT, &record, sizeof record);
    }

    FakeSystemTree tree_;
    platform::HostSystem host_;
    platform::ModelDrive* drive_ = nullptr;
};

TEST_F(RealDiskDriveTest, LockFollowsTheWindowsRules) {
    auto first = Open();
    {
        auto second = Open();
        EXPECT_EQ(Control(*first, FSCTL_LOCK_VOLUME), ERROR_ACCESS_DENIED) << "another handle is open";
    }
    EXPECT_EQ(Control(*first, FSCTL_LOCK_VOLUME), 0u);
    EXPECT_EQ(Control(*first, FSCTL_LOCK_VOLUME), 0u) << "the holder may lock again";
    EXPECT_EQ(host_.CreateFileA(kVolume, GENERIC_READ | GENERIC_WRITE, 3, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(host_.GetLastError(), ERROR_ACCESS_DENIED) << "no new handle while locked";
    EXPECT_EQ(Control(*first, FSCTL_UNLOCK_VOLUME), 0u);
    EXPECT_EQ(Control(*first, FSCTL_UNLOCK_VOLUME), kErrorNotLocked);

    Control(*first, FSCTL_LOCK_VOLUME);
    first.reset();  // closing the holder releases the lock
    auto again = Open();
    ASSERT_NE(again->handle, kInvalidHandle);
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

// The read-only policy opcode by opcode, against the values of the SCSI
// command sets rather than the names the drive's table uses.
TEST_F(RealDiskDriveTest, OnlyReadingCommandsPassWithoutTheLock) {
    auto volume = Open();
    const std::uint8_t reading[] = {
        0x00,  // TEST UNIT READY
        0x03,  // REQUEST SENSE
        0x12,  // INQUIRY
        0x1A,  // MODE SENSE(6)
        0x25,  // READ CAPACITY(10)
        0x28,  // READ(10)
        0x5A,  // MODE SENSE(10)
        0x88,  // READ(16)
        0x9E,  // SERVICE ACTION IN(16): READ CAPACITY(16)
        0xA8,  // READ(12)
    };
    for (std::uint8_t opcode : reading) {
        EXPECT_EQ(Send(*volume, opcode, SCSI_IOCTL_DATA_IN), ERROR_NOT_SUPPORTED) << "opcode " << int{opcode};
    }
    const std::uint8_t changing[] = {
        0x04,  // FORMAT UNIT
        0x15,  // MODE SELECT(6)
        0x1B,  // START STOP UNIT
        0x2A,  // WRITE(10)
        0x2E,  // WRITE AND VERIFY(10)
        0x41,  // WRITE SAME(10)
        0x8A,  // WRITE(16)
        0x93,  // WRITE SAME(16)
        0xAA,  // WRITE(12)
    };
    for (std::uint8_t opcode : changing) {
        EXPECT_EQ(Send(*volume, opcode, SCSI_IOCTL_DATA_UNSPECIFIED), ERROR_ACCESS_DENIED) << "opcode " << int{opcode};
    }
}

TEST_F(RealDiskDriveTest, LockIsRefusedOnceAPartitionIsMounted) {
    auto volume = Open();
    tree_.AddMount("50 1 8:17 / /media/stick rw - vfat /dev/sdb1 rw");
    EXPECT_EQ(Control(*volume, FSCTL_LOCK_VOLUME), ERROR_ACCESS_DENIED);
}

TEST_F(RealDiskDriveTest, RestartDeletesAndRescansTheScsiDeviceAndEndsOldHandles) {
    auto volume = Open();
    ASSERT_EQ(host_.RestartDrive('E'), 0u);
    EXPECT_EQ(FakeSystemTree::Read(tree_.Root() / "sys" / "block" / "sdb" / "device" / "delete"), "1");
    EXPECT_EQ(FakeSystemTree::Read(tree_.Root() / "sys" / "class" / "scsi_host" / "host6" / "scan"), "0 0 0");
    EXPECT_EQ(Control(*volume, FSCTL_LOCK_VOLUME), kErrorDeviceNotConnected);
    EXPECT_TRUE(drive_->IsPresent());
    auto fresh = Open();
    ASSERT_NE(fresh->handle, kInvalidHandle);
    EXPECT_EQ(Control(*fresh, FSCTL_LOCK_VOLUME), 0u);
}

TEST_F(RealDiskDriveTest, RestartWithoutTheSysfsControlsRereadsThePartitionsAndReportsItsFailure) {
    fs::remove(tree_.Root() / "sys" / "block" / "sdb" / "device" / "delete");
    // BLKRRPART on the fake node, a plain file, fails: the restart must say so.
    EXPECT_EQ(host_.RestartDrive('E'), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(FakeSystemTree::Read(tree_.Root() / "sys" / "class" / "scsi_host" / "host6" / "scan"), "");
}

TEST_F(RealDiskDriveTest, TheDiskIsAwayWhileSysfsDoesNotShowItsAddress) {
    fs::remove(tree_.Root() / "sys" / "block" / "sdb");
    EXPECT_FALSE(drive_->IsPresent());
    EXPECT_EQ(host_.GetDriveTypeA("E:\\"), DRIVE_NO_ROOT_DIR);
}

TEST_F(RealDiskDriveTest, FileNamesStayInTheRootOfTheVolume) {
    struct Case {
        const char* path;
        std::uint32_t error;
    };
    for (const Case& c : {Case{"E:\\../IO.SYS", kErrorPathNotFound}, Case{"E:\\sub/IO.SYS", kErrorPathNotFound},
                          Case{"E:\\", kErrorPathNotFound}, Case{"E:\\..", kErrorInvalidName}}) {
        EXPECT_EQ(host_.CreateFileA(c.path, GENERIC_WRITE, 3, CREATE_ALWAYS, 0), kInvalidHandle) << c.path;
        EXPECT_EQ(host_.GetLastError(), c.error) << c.path;
    }
}

}  // namespace
}  // namespace real_disk_test
