// Restarting the disk device so that the system detects the drive afresh
// and mounts the file system just written: a property-change request to
// the disk-drive class installer for the present disk with the stored ID.
// The installer may take the request and still leave the change for later
// (a program holding the volume vetoed it): that is no restart. Where the
// restart is not to be had, the disk is told to read its partition table
// again instead.
#include <cstdio>
#include <string_view>

#include "platform/system_services.h"
#include "ui/make_disk_dlg.h"

namespace {
// SP_DEVINFO_DATA.cbSize the enumeration expects.
constexpr std::uint32_t kDevInfoDataSize = sizeof(platform::SP_DEVINFO_DATA);
constexpr std::uint32_t kClassInstallHeaderSize = sizeof(platform::SP_CLASSINSTALL_HEADER);
constexpr std::uint32_t kPropChangeParamsSize = sizeof(platform::SP_PROPCHANGE_PARAMS);
constexpr std::uint32_t kCurrentHardwareProfile = 0;
// The configuration manager's IDs are read into this many characters.
constexpr std::uint32_t kDeviceIdBufferLength = 520;
// The change waits for a restart of the device or of the system.
constexpr std::uint32_t kChangeLeftForLater = DI_NEEDRESTART | DI_NEEDREBOOT;
constexpr const char* kPhysicalDiskPathFormat = "\\\\.\\PhysicalDrive%u";
constexpr std::size_t kPhysicalDiskPathLength = 32;

// Whether the class installer carried the request out: TRUE from the call,
// and no flag saying it was left for a restart. Parameters that cannot be
// read leave the call's TRUE standing.
bool CarriedOut(platform::DevInfoSet set, platform::SP_DEVINFO_DATA* device) {
    platform::SP_DEVINSTALL_PARAMS_A params{};
    params.cbSize = sizeof params;
    if (!platform::Sys().SetupDiGetDeviceInstallParamsA(set, device, &params)) return true;
    return (params.Flags & kChangeLeftForLater) == 0;
}
}  // namespace

int CMakeDiskDlg::RestartDevice(const char* deviceInstanceId) {
    platform::SystemServices& system = platform::Sys();
    platform::DevInfoSet set = system.SetupDiGetClassDevsA(&kGuidDevClassDiskDrive, nullptr, nullptr, DIGCF_PRESENT);
    if (set == kInvalidHandle) return 0;

    int result = 0;
    for (std::uint32_t index = 0;; ++index) {
        platform::SP_DEVINFO_DATA device{};
        device.cbSize = kDevInfoDataSize;
        if (!system.SetupDiEnumDeviceInfo(set, index, &device)) break;

        std::uint32_t status = 0;
        std::uint32_t problem = 0;
        if (system.CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) != CR_SUCCESS) break;

        char id[kDeviceIdBufferLength] = {};
        if (system.CM_Get_Device_IDA(device.DevInst, id, kDeviceIdBufferLength, 0) != CR_SUCCESS) continue;
        if (std::string_view(deviceInstanceId) != std::string_view(id)) continue;

        // Only the first device with the ID is tried.
        platform::SP_PROPCHANGE_PARAMS change{};
        change.ClassInstallHeader.cbSize = kClassInstallHeaderSize;
        change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        change.StateChange = DICS_PROPCHANGE;
        change.Scope = DICS_FLAG_CONFIGSPECIFIC;
        change.HwProfile = kCurrentHardwareProfile;
        if (system.SetupDiSetClassInstallParamsA(set, &device, &change.ClassInstallHeader, kPropChangeParamsSize) &&
            system.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &device) && CarriedOut(set, &device)) {
            result = 1;
        }
        break;
    }
    system.SetupDiDestroyDeviceInfoList(set);
    return result;
}

bool CMakeDiskDlg::UpdateDiskProperties(std::uint32_t deviceNumber) {
    platform::SystemServices& system = platform::Sys();
    char path[kPhysicalDiskPathLength];
    std::snprintf(path, sizeof path, kPhysicalDiskPathFormat, deviceNumber);
    platform::Handle disk =
        system.CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (disk == kInvalidHandle) return false;
    std::uint32_t returned = 0;
    const bool updated = system.DeviceIoControl(disk, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &returned);
    system.CloseHandle(disk);
    return updated;
}
