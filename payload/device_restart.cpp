// Restarting the disk device so that the system detects the drive afresh
// and mounts the file system just written: a property-change request to
// the disk-drive class installer for the present disk with the stored ID.
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
            system.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &device)) {
            result = 1;
        }
        break;
    }
    system.SetupDiDestroyDeviceInfoList(set);
    return result;
}
