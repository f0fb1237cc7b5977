// The Linux backend's services around an image drive: the registry value and
// device list that name its disk, and the restart that takes it away and
// attaches it afresh (no FAT tools needed).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/pass_through_record.h"
#include "device/scsi_constants.h"
#include "host/host_system.h"
#include "host/image_drive.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr std::uint32_t kImageSectors = 20480;

class HostSystemTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vorn_host_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        image_ = dir_ / "blank.img";
        { std::ofstream create(image_, std::ios::binary); }
        fs::resize_file(image_, std::uint64_t{kImageSectors} * 512);
        ASSERT_TRUE(host_.AttachImage(image_.string(), 'E'));
    }
    void TearDown() override {
        EXPECT_EQ(host_.OpenHandleCount(), 0u);
        host_.DetachDrive('E');
        fs::remove_all(dir_);
    }

    std::string DriveStrings() {
        char buffer[64] = {};
        const std::uint32_t length = host_.GetLogicalDriveStringsA(sizeof buffer, buffer);
        return std::string(buffer, length);
    }

    std::uint32_t DeviceNumber(platform::Handle volume) {
        platform::STORAGE_DEVICE_NUMBER number{};
        std::uint32_t returned = 0;
        EXPECT_TRUE(host_.DeviceIoControl(volume, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number,
                                          &returned));
        return number.DeviceNumber;
    }

    // A pass-through READ CAPACITY on the handle: 0 or the call's error.
    std::uint32_t ReadCapacity(platform::Handle volume) {
        PassThroughRecord record{};
        std::uint8_t data[8] = {};
        record.sptd.Length = sizeof record.sptd;
        record.sptd.CdbLength = 10;
        record.sptd.SenseInfoLength = sizeof record.sense;
        record.sptd.DataIn = 1;
        record.sptd.DataTransferLength = sizeof data;
        record.sptd.TimeOutValue = 4;
        record.sptd.DataBuffer = data;
        record.sptd.SenseInfoOffset = offsetof(PassThroughRecord, sense);
        record.sptd.Cdb[scsi::kCdbOpcode] = scsi::kOpReadCapacity10;
        std::uint32_t returned = 0;
        if (host_.DeviceIoControl(volume, IOCTL_SCSI_PASS_THROUGH_DIRECT, &record, sizeof record, &record,
                                  sizeof record, &returned)) {
            return 0;
        }
        return host_.GetLastError();
    }

    fs::path dir_;
    fs::path image_;
    platform::HostSystem host_;
};

TEST_F(HostSystemTest, RegistryAndDeviceListNameTheImageDisk) {
    platform::Handle volume = host_.CreateFileA("\\\\.\\E:", GENERIC_READ, 3, OPEN_EXISTING, 0);
    ASSERT_NE(volume, kInvalidHandle);
    const std::uint32_t number = DeviceNumber(volume);
    EXPECT_TRUE(host_.CloseHandle(volume));

    platform::RegKey key = nullptr;
    ASSERT_EQ(host_.RegOpenKeyExA(kHkeyLocalMachine, kDiskEnumKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    char value[512] = {};
    std::uint32_t size = sizeof value;
    ASSERT_EQ(host_.RegQueryValueExA(key, std::to_string(number).c_str(), nullptr,
                                     reinterpret_cast<std::uint8_t*>(value), &size),
              ERROR_SUCCESS);
    EXPECT_NE(host_.RegQueryValueExA(key, std::to_string(number + 1).c_str(), nullptr,
                                     reinterpret_cast<std::uint8_t*>(value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(host_.RegCloseKey(key), ERROR_SUCCESS);

    platform::DevInfoSet set = host_.SetupDiGetClassDevsA(&kGuidDevClassDiskDrive, nullptr, nullptr, DIGCF_PRESENT);
    ASSERT_NE(set, kInvalidHandle);
    platform::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(host_.SetupDiEnumDeviceInfo(set, 0, &device));
    char id[520] = {};
    ASSERT_EQ(host_.CM_Get_Device_IDA(device.DevInst, id, sizeof id, 0), CR_SUCCESS);
    // The registry value and the device's ID are the same capitals, as the
    // case-sensitive match of the restart needs.
    EXPECT_STREQ(id, value);
    EXPECT_EQ(std::string(id).rfind("USBSTOR\\DISK&VEN_VORN&PROD_IMAGE_FILE", 0), 0u) << id;
    EXPECT_FALSE(host_.SetupDiEnumDeviceInfo(set, 1, &device));
    EXPECT_TRUE(host_.SetupDiDestroyDeviceInfoList(set));
}

TEST_F(HostSystemTest, RestartTakesTheDriveAwayAndAttachesTheImageAfresh) {
    platform::Handle old = host_.CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, 3, OPEN_EXISTING, 0);
    ASSERT_NE(old, kInvalidHandle);
    const std::uint32_t number = DeviceNumber(old);
    ASSERT_EQ(ReadCapacity(old), 0u);

    platform::DevInfoSet set = host_.SetupDiGetClassDevsA(&kGuidDevClassDiskDrive, nullptr, nullptr, DIGCF_PRESENT);
    platform::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(host_.SetupDiEnumDeviceInfo(set, 0, &device));
    platform::SP_PROPCHANGE_PARAMS change{};
    change.ClassInstallHeader.cbSize = sizeof change.ClassInstallHeader;
    change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    change.StateChange = DICS_PROPCHANGE;
    change.Scope = DICS_FLAG_CONFIGSPECIFIC;
    ASSERT_TRUE(host_.SetupDiSetClassInstallParamsA(set, &device, &change.ClassInstallHeader, sizeof change));
    ASSERT_TRUE(host_.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &device));
    host_.SetupDiDestroyDeviceInfoList(set);

    // Away for a moment: not listed, no volume, no files; the old handle is cut off.
    EXPECT_EQ(DriveStrings(), "");
    EXPECT_EQ(host_.GetDriveTypeA("E:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(host_.CreateFileA("\\\\.\\E:", GENERIC_READ, 3, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(ReadCapacity(old), kErrorDeviceNotConnected);

    std::this_thread::sleep_for(platform::host::ImageDrive::kAwayAfterRestart + std::chrono::milliseconds(50));
    EXPECT_EQ(DriveStrings(), std::string("E:\\\0", 4));
    EXPECT_EQ(host_.GetDriveTypeA("E:\\"), DRIVE_REMOVABLE);
    platform::Handle fresh = host_.CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, 3, OPEN_EXISTING, 0);
    ASSERT_NE(fresh, kInvalidHandle);
    EXPECT_EQ(ReadCapacity(fresh), 0u);
    EXPECT_EQ(DeviceNumber(fresh), number);
    EXPECT_EQ(ReadCapacity(old), kErrorDeviceNotConnected);
    EXPECT_TRUE(host_.CloseHandle(fresh));
    EXPECT_TRUE(host_.CloseHandle(old));
}

TEST_F(HostSystemTest, ABlankImageHasNoVolumeToWriteFilesOn) {
    EXPECT_EQ(host_.CreateFileA("E:\\IO.SYS", GENERIC_WRITE, 3, CREATE_ALWAYS, 0), kInvalidHandle);
    EXPECT_NE(host_.GetLastError(), 0u);
    EXPECT_FALSE(host_.SetFileAttributesA("E:\\IO.SYS", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(fs::file_size(image_), std::uint64_t{kImageSectors} * 512);
}

}  // namespace
