// The rules of Windows that the model keeps and a make runs into: rights,
// other processes' handles and the dismount, the mounted file system that
// keeps what it read, the partition table read only when the disk starts or
// is told to, the outcomes of a device restart, the disk interfaces, and
// what the drive letter shows.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device/scsi_channel.h"
#include "fatdisk/on_disk_format.h"
#include "platform/byte_order.h"
#include "tests/device/sim_fixture.h"

namespace {

constexpr std::uint32_t kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr std::uint32_t kStickSectors = 16384;  // 8 MiB: FAT16 after the first track, at sector 32
constexpr std::uint32_t kStickStart = 32;
constexpr const char* kStickId = "USBSTOR\\DISK&VEN_KORVANE&PROD_STICK&REV_1.0\\0001";

class WindowsRulesTest : public SimFixture {
protected:
    platform::Handle Open(const char* path = "\\\\.\\E:", std::uint32_t access = kReadWrite) {
        return sim_.CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    }
    bool Control(platform::Handle handle, std::uint32_t code) {
        std::uint32_t returned = 0;
        return sim_.DeviceIoControl(handle, code, nullptr, 0, nullptr, 0, &returned);
    }
    std::string Label() {
        char label[32] = {};
        std::uint32_t serial = 0;
        if (!sim_.GetVolumeInformationA("E:\\", label, sizeof label, &serial, nullptr, nullptr, nullptr, 0)) {
            return "<" + std::to_string(sim_.GetLastError()) + ">";
        }
        return label;
    }
    bool WriteFile(const char* path, const std::string& bytes) {
        platform::Handle file = sim_.CreateFileA(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
        if (file == kInvalidHandle) return false;
        std::uint32_t written = 0;
        const bool ok = sim_.WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
        return sim_.CloseHandle(file) && ok;
    }
    // Writes sectors beneath the file system, as the build does: locked,
    // written, unlocked, and (unlike the build) not dismounted.
    void WriteRaw(std::uint32_t lba, const std::vector<std::uint8_t>& bytes) {
        CScsiChannel channel;
        ASSERT_EQ(channel.OpenVolume('E'), 0);
        ASSERT_FALSE(channel.LockVolume('E'));
        ASSERT_FALSE(channel.WriteBlocks('E', lba, static_cast<unsigned>(bytes.size() / scsi::kSectorSize), bytes.data()));
        channel.UnlockVolume('E');
        channel.CloseVolume();
    }
    std::vector<std::uint8_t> Sector(const std::shared_ptr<EmulatedScsiDisk>& disk, std::uint32_t lba) {
        std::vector<std::uint8_t> bytes(scsi::kSectorSize);
        disk->ReadBytes(std::uint64_t{lba} * scsi::kSectorSize, bytes.data(), bytes.size());
        return bytes;
    }
};

TEST_F(WindowsRulesTest, WithoutElevationRawVolumesAndDisksAreRefused) {
    PlugDisk(1024);
    sim_.AddDiskDevice('E', 1, kStickId);
    sim_.SetElevated(false);
    for (const char* path : {"\\\\.\\E:", "\\\\.\\PhysicalDrive1"}) {
        for (std::uint32_t access : {std::uint32_t{GENERIC_READ}, kReadWrite}) {
            EXPECT_EQ(Open(path, access), kInvalidHandle) << path;
            EXPECT_EQ(sim_.GetLastError(), ERROR_ACCESS_DENIED) << path;
        }
    }
    // Asking for no access is allowed: the device number still answers.
    platform::Handle query = Open("\\\\.\\E:", 0);
    ASSERT_NE(query, kInvalidHandle);
    platform::STORAGE_DEVICE_NUMBER number{};
    std::uint32_t returned = 0;
    EXPECT_TRUE(sim_.DeviceIoControl(query, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number,
                                     &returned));
    EXPECT_EQ(number.DeviceNumber, 1u);
    sim_.CloseHandle(query);
    sim_.SetElevated(true);
    platform::Handle volume = Open();
    EXPECT_NE(volume, kInvalidHandle);
    sim_.CloseHandle(volume);
}

TEST_F(WindowsRulesTest, AnotherProcessKeepsTheLockAwayUntilADismountEndsItsHandle) {
    PlugDisk(1024);
    sim_.Volumes().HoldVolume('E');
    platform::Handle volume = Open();
    EXPECT_FALSE(Control(volume, FSCTL_LOCK_VOLUME));
    EXPECT_EQ(sim_.GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Control(volume, FSCTL_DISMOUNT_VOLUME));
    EXPECT_EQ(sim_.Volumes().ForeignHandleCount('E'), 0u);
    EXPECT_TRUE(Control(volume, FSCTL_LOCK_VOLUME));
    EXPECT_TRUE(Control(volume, FSCTL_UNLOCK_VOLUME));
    sim_.CloseHandle(volume);

    // A desktop that looks at the volume opens it again once it is unlocked.
    sim_.Volumes().SetDesktopHolds('E', true);
    EXPECT_EQ(sim_.Volumes().ForeignHandleCount('E'), 1u);
    volume = Open();
    EXPECT_TRUE(Control(volume, FSCTL_DISMOUNT_VOLUME));
    EXPECT_TRUE(Control(volume, FSCTL_LOCK_VOLUME));
    EXPECT_EQ(sim_.Volumes().ForeignHandleCount('E'), 0u);
    EXPECT_TRUE(Control(volume, FSCTL_UNLOCK_VOLUME));
    EXPECT_EQ(sim_.Volumes().ForeignHandleCount('E'), 1u);
    // Closing the locking handle gives the volume back to the desktop too.
    EXPECT_TRUE(Control(volume, FSCTL_DISMOUNT_VOLUME));
    EXPECT_TRUE(Control(volume, FSCTL_LOCK_VOLUME));
    sim_.CloseHandle(volume);
    EXPECT_EQ(sim_.Volumes().ForeignHandleCount('E'), 1u);
}

// Raw writes beneath a mounted file system change nothing it believes:
// the label it shows and the sectors it writes files to are the old ones
// until the volume is dismounted.
TEST_F(WindowsRulesTest, TheMountedFileSystemKeepsWhatItReadUntilADismount) {
    auto disk = PlugFormattedDisk(kStickSectors, 0, "OLDSTICK");
    EXPECT_EQ(Label(), "OLDSTICK");

    // A new layout beneath it: the same disk made a volume from sector 0
    // (the builder's mode 1), made on another drive and copied over raw.
    auto fresh = PlugFormattedDisk(kStickSectors, 1, "NEWSTICK", 'F');
    const std::uint32_t metadataSectors = 200;  // boot sector, FATs and root of the new layout
    std::vector<std::uint8_t> newLayout(std::size_t{metadataSectors} * scsi::kSectorSize);
    fresh->ReadBytes(0, newLayout.data(), newLayout.size());
    for (std::uint32_t lba = 0; lba < metadataSectors; lba += 100) {
        WriteRaw(lba, std::vector<std::uint8_t>(newLayout.begin() + lba * scsi::kSectorSize,
                                                newLayout.begin() + (lba + 100) * scsi::kSectorSize));
    }
    EXPECT_EQ(Label(), "OLDSTICK") << "a raw write made the file system read the disk again";

    // A file written now lands by the old layout: its FAT and directory
    // sectors go where the old volume had them, over the new layout.
    ASSERT_TRUE(WriteFile("E:\\IO.SYS", std::string(5000, 'x')));
    std::vector<std::uint8_t> now(newLayout.size());
    disk->ReadBytes(0, now.data(), now.size());
    EXPECT_NE(now, newLayout) << "the old file system wrote nothing over the new layout";
    for (const platform::SimSystem::SimFile& file : sim_.Files('E')) EXPECT_NE(file.name, "IO.SYS");

    // Dismounted, the volume is mounted afresh from where the partition
    // table read when the disk started puts it: sector 32, which the new
    // layout does not use as a boot sector.
    platform::Handle volume = Open();
    EXPECT_TRUE(Control(volume, FSCTL_DISMOUNT_VOLUME));
    sim_.CloseHandle(volume);
    EXPECT_EQ(Label(), "<" + std::to_string(kErrorUnrecognizedVolume) + ">");
}

TEST_F(WindowsRulesTest, ThePartitionTableIsReadWhenTheDiskStartsOrIsToldTo) {
    auto disk = PlugFormattedDisk(kStickSectors, 0, "STICK");
    sim_.AddDiskDevice('E', 1, kStickId);
    ASSERT_EQ(sim_.Volumes().VolumeStart('E'), kStickStart);

    // The partition moves in the MBR (a raw write): nothing changes yet.
    std::vector<std::uint8_t> mbr = Sector(disk, 0);
    platform::StoreLe32(mbr.data() + fatdisk::kMbrEntry1 + fatdisk::kEntryStartLba, 2048);
    WriteRaw(0, mbr);
    EXPECT_EQ(sim_.Volumes().VolumeStart('E'), kStickStart);
    platform::Handle volume = Open();
    ASSERT_NE(volume, kInvalidHandle);

    // Told through a handle of the physical disk (by number or by its
    // interface), the system reads it and the moved volume replaces the old.
    for (const std::string& path : {std::string("\\\\.\\PhysicalDrive1"), platform::WindowsModel::InterfacePath(kStickId)}) {
        platform::Handle physical = Open(path.c_str(), 0);
        ASSERT_NE(physical, kInvalidHandle) << path;
        EXPECT_TRUE(Control(physical, IOCTL_DISK_UPDATE_PROPERTIES)) << path;
        EXPECT_FALSE(Control(physical, FSCTL_LOCK_VOLUME)) << "a disk handle locks no volume";
        sim_.CloseHandle(physical);
        EXPECT_EQ(sim_.Volumes().VolumeStart('E'), 2048u);
    }
    EXPECT_FALSE(Control(volume, FSCTL_LOCK_VOLUME));
    EXPECT_EQ(sim_.GetLastError(), kErrorDeviceNotConnected) << "a handle of the replaced volume still works";
    sim_.CloseHandle(volume);
    EXPECT_EQ(Label(), "<" + std::to_string(kErrorUnrecognizedVolume) + ">");
}

// What SetupDiCallClassInstaller(DIF_PROPERTYCHANGE) comes to, and what
// SetupDiGetDeviceInstallParams then says.
struct RestartOutcome {
    const char* name;
    std::function<void(platform::SimSystem&)> setUp;
    bool callSucceeds;
    std::uint32_t error;        // when it fails
    std::uint32_t installFlags;  // when it succeeds
    bool restarted;
};

class RestartOutcomeTest : public WindowsRulesTest, public ::testing::WithParamInterface<RestartOutcome> {};

TEST_P(RestartOutcomeTest, TheClassInstallerAnswersAsWindowsDoes) {
    const RestartOutcome& outcome = GetParam();
    PlugDisk(1024);
    sim_.AddDiskDevice('E', 1, kStickId);
    outcome.setUp(sim_);
    bool wow64 = false;
    EXPECT_TRUE(sim_.IsWow64Process(kCurrentProcess, &wow64));

    platform::DevInfoSet set = sim_.SetupDiGetClassDevsA(&kGuidDevClassDiskDrive, nullptr, nullptr, DIGCF_PRESENT);
    platform::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(sim_.SetupDiEnumDeviceInfo(set, 0, &device));
    platform::SP_PROPCHANGE_PARAMS change{};
    change.ClassInstallHeader = {sizeof(platform::SP_CLASSINSTALL_HEADER), DIF_PROPERTYCHANGE};
    change.StateChange = DICS_PROPCHANGE;
    change.Scope = DICS_FLAG_CONFIGSPECIFIC;
    ASSERT_TRUE(sim_.SetupDiSetClassInstallParamsA(set, &device, &change.ClassInstallHeader, sizeof change));
    const bool called = sim_.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &device);
    EXPECT_EQ(called, outcome.callSucceeds);
    if (called) {
        platform::SP_DEVINSTALL_PARAMS_A params{};
        params.cbSize = sizeof params;
        ASSERT_TRUE(sim_.SetupDiGetDeviceInstallParamsA(set, &device, &params));
        EXPECT_EQ(params.Flags, outcome.installFlags);
    } else {
        EXPECT_EQ(sim_.GetLastError(), outcome.error);
    }
    EXPECT_EQ(sim_.RestartCount(), outcome.restarted ? 1u : 0u);
    sim_.SetupDiDestroyDeviceInfoList(set);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RestartOutcomeTest,
    ::testing::Values(RestartOutcome{"Restarted", [](platform::SimSystem&) {}, true, 0, 0, true},
                      RestartOutcome{"VetoedByAHandle",
                                     [](platform::SimSystem& sim) { sim.Volumes().HoldVolume('E'); }, true, 0,
                                     DI_NEEDRESTART, false},
                      RestartOutcome{"ThirtyTwoBitOnSixtyFourBit",
                                     [](platform::SimSystem& sim) { sim.SetWow64(true); }, false, ERROR_IN_WOW64, 0,
                                     false},
                      RestartOutcome{"NotElevated", [](platform::SimSystem& sim) { sim.SetElevated(false); }, false,
                                     ERROR_ACCESS_DENIED, 0, false}),
    [](const ::testing::TestParamInfo<RestartOutcome>& info) { return std::string(info.param.name); });

// The disk interfaces: one per present disk, whose path opens the disk and
// reports its device number, whatever the registry's enumeration says.
TEST_F(WindowsRulesTest, EachDiskInterfaceOpensItsDiskAndReportsItsNumber) {
    PlugDisk(1024, 'E');
    PlugDisk(1024, 'F');
    sim_.AddDiskDevice('E', 3, kStickId);
    sim_.AddDiskDevice('F', 2, "USBSTOR\\DISK&VEN_OTHER&PROD_STICK&REV_2.0\\0002");
    platform::DevInfoSet set =
        sim_.SetupDiGetClassDevsA(&kGuidDevInterfaceDisk, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, kInvalidHandle);
    std::vector<std::pair<std::string, std::uint32_t>> found;
    for (std::uint32_t index = 0;; ++index) {
        platform::SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!sim_.SetupDiEnumDeviceInterfaces(set, nullptr, &kGuidDevInterfaceDisk, index, &interfaceData)) break;
        std::uint32_t required = 0;
        EXPECT_FALSE(sim_.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &required, nullptr));
        EXPECT_EQ(sim_.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        std::vector<std::uint32_t> storage(required / 4 + 1);
        auto* detail = reinterpret_cast<platform::SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
        detail->cbSize = sizeof(platform::SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        platform::SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        ASSERT_TRUE(sim_.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, required, nullptr, &device));
        char id[520] = {};
        ASSERT_EQ(sim_.CM_Get_Device_IDA(device.DevInst, id, sizeof id, 0), CR_SUCCESS);
        EXPECT_EQ(std::string(detail->DevicePath), platform::WindowsModel::InterfacePath(id));
        platform::Handle disk = Open(detail->DevicePath, 0);
        ASSERT_NE(disk, kInvalidHandle);
        platform::STORAGE_DEVICE_NUMBER number{};
        std::uint32_t returned = 0;
        EXPECT_TRUE(sim_.DeviceIoControl(disk, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number,
                                         &returned));
        EXPECT_EQ(number.DeviceType, FILE_DEVICE_DISK);
        EXPECT_EQ(number.PartitionNumber, 0u);
        sim_.CloseHandle(disk);
        found.emplace_back(id, number.DeviceNumber);
    }
    sim_.SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(found, (std::vector<std::pair<std::string, std::uint32_t>>{
                         {kStickId, 3}, {"USBSTOR\\DISK&VEN_OTHER&PROD_STICK&REV_2.0\\0002", 2}}));
}

TEST_F(WindowsRulesTest, TheRootListsEachFileWithItsNameSizeAndAttributes) {
    PlugFormattedDisk(kStickSectors, 0, "STICK");
    ASSERT_TRUE(WriteFile("E:\\VORN.exe", std::string(3000, 'v')));
    ASSERT_TRUE(WriteFile("E:\\IO.SYS", "io"));
    ASSERT_TRUE(sim_.SetFileAttributesA("E:\\IO.SYS", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    std::uint32_t serial = 0;
    char label[16] = {};
    char fileSystem[16] = {};
    ASSERT_TRUE(sim_.GetVolumeInformationA("E:\\", label, sizeof label, &serial, nullptr, nullptr, fileSystem,
                                           sizeof fileSystem));
    EXPECT_EQ(serial, fatdisk::kVolumeSerialNumber);
    EXPECT_STREQ(label, "STICK");
    EXPECT_STREQ(fileSystem, "FAT");

    platform::WIN32_FIND_DATAA data{};
    platform::Handle search = sim_.FindFirstFileA("E:\\*", &data);
    ASSERT_NE(search, kInvalidHandle);
    std::vector<std::string> seen;
    do {
        seen.push_back(std::string(data.cFileName) + "/" + data.cAlternateFileName + " " +
                       std::to_string(data.nFileSizeLow) + " " + std::to_string(data.dwFileAttributes));
    } while (sim_.FindNextFileA(search, &data));
    EXPECT_EQ(sim_.GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(sim_.FindClose(search));
    EXPECT_EQ(seen, (std::vector<std::string>{"VORN.exe/VORN.EXE 3000 32", "IO.SYS/ 2 7"}));
}

}  // namespace
