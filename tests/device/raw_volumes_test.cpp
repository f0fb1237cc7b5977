// Raw volumes in front of the emulated disks: the open, lock and unlock
// rules, the pass-through request block and the call faults.
#include <gtest/gtest.h>

#include <cstring>

#include "device/pass_through_record.h"
#include "device/scsi_constants.h"
#include "platform/byte_order.h"
#include "tests/device/sim_fixture.h"

namespace {

constexpr std::uint32_t kReadWrite = GENERIC_READ | GENERIC_WRITE;

class VolumesTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        disk_ = PlugDisk(1024);
    }

    platform::Handle Open(std::uint32_t access = kReadWrite, const char* path = "\\\\.\\E:") {
        return sim_.CreateFileA(path, access, 3, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    }
    bool Control(platform::Handle handle, std::uint32_t code) {
        std::uint32_t returned = 0;
        return sim_.DeviceIoControl(handle, code, nullptr, 0, nullptr, 0, &returned);
    }
    // A READ(10) request block of one sector at an LBA.
    PassThroughRecord ReadRecord(std::uint32_t lba, void* buffer) {
        PassThroughRecord record{};
        record.sptd.Length = sizeof(platform::SCSI_PASS_THROUGH_DIRECT);
        record.sptd.CdbLength = 10;
        record.sptd.SenseInfoLength = 24;
        record.sptd.DataIn = SCSI_IOCTL_DATA_IN;
        record.sptd.DataTransferLength = scsi::kSectorSize;
        record.sptd.DataBuffer = buffer;
        record.sptd.SenseInfoOffset = offsetof(PassThroughRecord, sense);
        record.sptd.Cdb[scsi::kCdbOpcode] = scsi::kOpRead10;
        platform::StoreBe32(record.sptd.Cdb + scsi::kCdbRw10Lba, lba);
        platform::StoreBe16(record.sptd.Cdb + scsi::kCdbRw10TransferLength, 1);
        return record;
    }
    bool PassThrough(platform::Handle handle, PassThroughRecord& record) {
        std::uint32_t returned = 0;
        return sim_.DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &record, sizeof record,
                                    &record, sizeof record, &returned);
    }

    std::shared_ptr<EmulatedScsiDisk> disk_;
};

TEST_F(VolumesTest, OpensOnlyRawVolumesOfPresentDrives) {
    platform::Handle lower = Open(kReadWrite, "\\\\.\\e:");
    EXPECT_NE(lower, kInvalidHandle);
    sim_.CloseHandle(lower);
    for (const char* path : {"\\\\.\\F:", "E:\\", "\\\\.\\E:\\", "\\\\.\\PhysicalDrive9", "\\\\.\\PhysicalDrive1x"}) {
        EXPECT_EQ(Open(kReadWrite, path), kInvalidHandle) << path;
        EXPECT_NE(sim_.GetLastError(), 0u) << path;
    }
}

TEST_F(VolumesTest, OnlyTheLockingHandleCanUnlockAndClosingItReleasesTheLock) {
    platform::Handle first = Open();
    platform::Handle second = Open();
    // Another open handle keeps the lock from being taken.
    EXPECT_FALSE(Control(first, FSCTL_LOCK_VOLUME));
    EXPECT_EQ(sim_.GetLastError(), ERROR_ACCESS_DENIED);
    sim_.CloseHandle(second);
    ASSERT_TRUE(Control(first, FSCTL_LOCK_VOLUME));

    // While locked, the volume cannot be opened again...
    EXPECT_EQ(Open(), kInvalidHandle);
    EXPECT_EQ(sim_.GetLastError(), ERROR_ACCESS_DENIED);
    // ...so no other handle can unlock it; its own handle can.
    EXPECT_TRUE(Control(first, FSCTL_UNLOCK_VOLUME));
    EXPECT_FALSE(Control(first, FSCTL_UNLOCK_VOLUME));
    EXPECT_EQ(sim_.GetLastError(), kErrorNotLocked);

    ASSERT_TRUE(Control(first, FSCTL_LOCK_VOLUME));
    sim_.CloseHandle(first);
    EXPECT_FALSE(sim_.Volumes().IsLocked('E'));
    platform::Handle again = Open();
    EXPECT_NE(again, kInvalidHandle);
    sim_.CloseHandle(again);
}

TEST_F(VolumesTest, PassThroughWritesStatusAndSenseBackIntoTheRecord) {
    platform::Handle handle = Open();
    std::uint8_t buffer[512];
    PassThroughRecord record = ReadRecord(2000, buffer);  // past the end of 1024 sectors
    record.sptd.Cdb[4] = 0x07;
    record.sptd.Cdb[5] = 0xD0;
    ASSERT_TRUE(PassThrough(handle, record));
    EXPECT_EQ(record.sptd.ScsiStatus, 0x02);
    EXPECT_EQ(record.sense[0], 0x70);
    EXPECT_EQ(record.sense[2], 0x05);
    EXPECT_EQ(record.sense[12], 0x21);
    EXPECT_EQ(record.filler, 0u);

    disk_->WriteBytes(3 * 512, "\x11\x22", 2);
    PassThroughRecord good = ReadRecord(3, buffer);
    ASSERT_TRUE(PassThrough(handle, good));
    EXPECT_EQ(good.sptd.ScsiStatus, 0);
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(buffer[1], 0x22);
    sim_.CloseHandle(handle);
}

TEST_F(VolumesTest, PassThroughRefusesABadRequestBlockOrAReadOnlyHandle) {
    platform::Handle handle = Open();
    std::uint8_t buffer[512];
    auto refused = [&](PassThroughRecord record) {
        return !PassThrough(handle, record) && sim_.GetLastError() == ERROR_INVALID_PARAMETER;
    };
    PassThroughRecord record = ReadRecord(0, buffer);
    record.sptd.Length = 44 + 100;
    EXPECT_TRUE(refused(record));
    record = ReadRecord(0, buffer);
    record.sptd.DataBuffer = nullptr;
    EXPECT_TRUE(refused(record));
    record = ReadRecord(0, buffer);
    record.sptd.SenseInfoOffset = sizeof record - 8;  // sense area runs out of the block
    EXPECT_TRUE(refused(record));
    record = ReadRecord(0, buffer);
    record.sptd.CdbLength = 17;
    EXPECT_TRUE(refused(record));
    record = ReadRecord(0, buffer);
    record.sptd.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED;  // "no data", yet 512 bytes to move
    EXPECT_TRUE(refused(record));
    sim_.CloseHandle(handle);
    EXPECT_TRUE(disk_->Trace().empty());

    platform::Handle readOnly = Open(GENERIC_READ);
    record = ReadRecord(0, buffer);
    EXPECT_FALSE(PassThrough(readOnly, record));
    EXPECT_EQ(sim_.GetLastError(), ERROR_ACCESS_DENIED);
    sim_.CloseHandle(readOnly);
}

TEST_F(VolumesTest, CallFaultsHitTheChosenOccurrence) {
    sim_.Volumes().FailOpen('E', ERROR_SEM_TIMEOUT, 2);
    platform::Handle first = Open();
    EXPECT_NE(first, kInvalidHandle);
    EXPECT_EQ(Open(), kInvalidHandle);
    EXPECT_EQ(sim_.GetLastError(), ERROR_SEM_TIMEOUT);

    sim_.Volumes().FailControl('E', FSCTL_LOCK_VOLUME, ERROR_ACCESS_DENIED, 0);
    EXPECT_FALSE(Control(first, FSCTL_LOCK_VOLUME));
    EXPECT_FALSE(Control(first, FSCTL_LOCK_VOLUME));
    std::uint8_t buffer[512];
    PassThroughRecord record = ReadRecord(0, buffer);
    EXPECT_TRUE(PassThrough(first, record));  // other codes are not affected
    sim_.Volumes().ClearCallFaults();
    EXPECT_TRUE(Control(first, FSCTL_LOCK_VOLUME));
    sim_.CloseHandle(first);
}

TEST_F(VolumesTest, APulledDriveFailsTheCallsOfItsOpenHandles) {
    platform::Handle handle = Open();
    sim_.RemoveDrive('E');
    std::uint8_t buffer[512];
    PassThroughRecord record = ReadRecord(0, buffer);
    EXPECT_FALSE(PassThrough(handle, record));
    EXPECT_EQ(sim_.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_TRUE(sim_.CloseHandle(handle));
    EXPECT_FALSE(sim_.CloseHandle(handle));
    EXPECT_EQ(sim_.GetLastError(), ERROR_INVALID_HANDLE);
    allowedInvalidCloses_ = 1;
}

TEST_F(VolumesTest, DeviceNumberOfTheVolume) {
    PlugDisk(64, 'G');
    sim_.Volumes().SetDeviceNumber('G', 5);
    platform::Handle handle = Open(0, "\\\\.\\G:");  // a query-only open
    platform::STORAGE_DEVICE_NUMBER number{};
    std::uint32_t returned = 0;
    ASSERT_TRUE(sim_.DeviceIoControl(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                                     sizeof number, &returned));
    EXPECT_EQ(returned, sizeof number);
    EXPECT_EQ(number.DeviceType, 7u);
    EXPECT_EQ(number.DeviceNumber, 5u);
    sim_.CloseHandle(handle);
}

}  // namespace
