// The disk devices of the model's device tree (the disk-drive class), their
// disk interfaces, and their restart through a property-change request to
// the class installer.
#include <cctype>
#include <cstddef>
#include <cstring>

#include "winmodel/last_error.h"
#include "winmodel/windows_model.h"

namespace platform {

namespace {
constexpr std::uint32_t kCrNoSuchDevnode = 0x0D;  // CR_NO_SUCH_DEVNODE
constexpr std::uint32_t kCrBufferSmall = 0x1A;    // CR_BUFFER_SMALL

constexpr std::uint32_t kErrorInvalidUserBuffer = 1784;  // ERROR_INVALID_USER_BUFFER
constexpr char kInterfaceClassSuffix[] = "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

bool SameGuid(const GUID& left, const GUID& right) { return std::memcmp(&left, &right, sizeof left) == 0; }

bool SameText(const std::string& left, const char* right) {
    if (left.size() != std::strlen(right)) return false;
    for (std::size_t index = 0; index < left.size(); ++index) {
        if (std::tolower(static_cast<unsigned char>(left[index])) != std::tolower(static_cast<unsigned char>(right[index]))) {
            return false;
        }
    }
    return true;
}
}  // namespace

std::string WindowsModel::InterfacePath(const std::string& instanceId) {
    std::string path = "\\\\?\\";
    for (char character : instanceId) {
        path += character == '\\' ? '#' : static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    }
    return path + kInterfaceClassSuffix;
}

char WindowsModel::InterfaceLetter(const char* path) const {
    if (path == nullptr || std::strncmp(path, "\\\\?\\", 4) != 0) return 0;
    std::lock_guard lock(mutex_);
    for (const auto& [devInst, device] : devices_) {
        if (SameText(InterfacePath(device.instanceId), path)) return device.letter;
    }
    return 0;
}

void WindowsModel::AddDiskDevice(char letter, std::uint32_t deviceNumber, std::string instanceId) {
    volumes_.SetDeviceNumber(letter, deviceNumber);
    std::lock_guard lock(mutex_);
    devices_[nextDevInst_++] = DiskDevice{letter, deviceNumber, std::move(instanceId)};
}

void WindowsModel::RemoveDiskDevices(char letter) {
    std::lock_guard lock(mutex_);
    std::erase_if(devices_, [letter](const auto& entry) { return entry.second.letter == letter; });
}

std::optional<WindowsModel::DiskDevice> WindowsModel::FindDevice(DEVINST devInst) const {
    std::lock_guard lock(mutex_);
    auto found = devices_.find(devInst);
    if (found == devices_.end()) return std::nullopt;
    return found->second;
}

std::size_t WindowsModel::ClassDevsCallCount() const {
    std::lock_guard lock(mutex_);
    return classDevsCalls_;
}

std::size_t WindowsModel::InstallerCallCount() const {
    std::lock_guard lock(mutex_);
    return installerCalls_;
}

std::size_t WindowsModel::RestartCount() const {
    std::lock_guard lock(mutex_);
    return restarts_;
}

std::size_t WindowsModel::OpenDeviceListCount() const {
    std::lock_guard lock(mutex_);
    return deviceLists_.size();
}

DevInfoSet WindowsModel::SetupDiGetClassDevsA(const GUID* classGuid, const char*, void*, std::uint32_t flags) {
    const bool interfaces = (flags & DIGCF_DEVICEINTERFACE) != 0;
    std::map<DEVINST, DiskDevice> devices;
    {
        std::lock_guard lock(mutex_);
        if (!interfaces) ++classDevsCalls_;
        devices = devices_;
    }
    if (DeviceCallFails(interfaces ? DeviceCall::GetInterfaceDevs : DeviceCall::GetClassDevs) || classGuid == nullptr) {
        return model::Fail(ERROR_INVALID_PARAMETER, static_cast<DevInfoSet>(kInvalidHandle));
    }
    DeviceList list;
    list.interfaces = interfaces;
    const GUID& wanted = list.interfaces ? kGuidDevInterfaceDisk : kGuidDevClassDiskDrive;
    if (SameGuid(*classGuid, wanted)) {
        for (const auto& [devInst, device] : devices) {
            if ((flags & DIGCF_PRESENT) == 0 || volumes_.IsPresent(device.letter)) list.devices.push_back(devInst);
        }
    }
    std::lock_guard lock(mutex_);
    DevInfoSet set = NewServiceHandle();
    deviceLists_[set] = std::move(list);
    return set;
}

bool WindowsModel::SetupDiEnumDeviceInfo(DevInfoSet set, std::uint32_t index, SP_DEVINFO_DATA* data) {
    std::lock_guard lock(mutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return model::Fail(ERROR_INVALID_HANDLE, false);
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA)) return model::Fail(ERROR_INVALID_PARAMETER, false);
    if (index >= list->second.devices.size()) return model::Fail(ERROR_NO_MORE_ITEMS, false);
    data->ClassGuid = kGuidDevClassDiskDrive;
    data->DevInst = list->second.devices[index];
    data->Reserved = 0;
    return true;
}

std::uint32_t WindowsModel::CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem, DEVINST devInst,
                                                  std::uint32_t) {
    if (status != nullptr) *status = 0;
    if (problem != nullptr) *problem = 0;
    // A device that is not present has no node to report on.
    std::optional<DiskDevice> device = FindDevice(devInst);
    if (DeviceCallFails(DeviceCall::DevNodeStatus) || !device || !volumes_.IsPresent(device->letter)) {
        return kCrNoSuchDevnode;
    }
    return CR_SUCCESS;
}

std::uint32_t WindowsModel::CM_Get_Device_IDA(DEVINST devInst, char* buffer, std::uint32_t bufferLength,
                                              std::uint32_t) {
    if (buffer != nullptr && bufferLength > 0) buffer[0] = '\0';
    std::optional<DiskDevice> device = FindDevice(devInst);
    if (DeviceCallFails(DeviceCall::DeviceId) || !device) return kCrNoSuchDevnode;
    const std::string& id = device->instanceId;
    if (buffer == nullptr || id.size() + 1 > bufferLength) return kCrBufferSmall;
    std::memcpy(buffer, id.c_str(), id.size() + 1);
    return CR_SUCCESS;
}

bool WindowsModel::SetupDiSetClassInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                                 SP_CLASSINSTALL_HEADER* params, std::uint32_t paramsSize) {
    std::lock_guard lock(mutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return model::Fail(ERROR_INVALID_HANDLE, false);
    if (DeviceCallFails(DeviceCall::SetClassInstallParams)) return model::Fail(ERROR_ACCESS_DENIED, false);
    if (data == nullptr || params == nullptr || params->cbSize != sizeof(SP_CLASSINSTALL_HEADER) ||
        params->InstallFunction != DIF_PROPERTYCHANGE || paramsSize != sizeof(SP_PROPCHANGE_PARAMS)) {
        return model::Fail(ERROR_INVALID_PARAMETER, false);
    }
    SP_PROPCHANGE_PARAMS change;
    std::memcpy(&change, params, sizeof change);
    list->second.params = change;
    return true;
}

bool WindowsModel::SetupDiCallClassInstaller(std::uint32_t installFunction, DevInfoSet set,
                                             SP_DEVINFO_DATA* data) {
    DEVINST devInst = 0;
    {
        std::lock_guard lock(mutex_);
        ++installerCalls_;
        auto list = deviceLists_.find(set);
        if (list == deviceLists_.end()) return model::Fail(ERROR_INVALID_HANDLE, false);
        const auto& params = list->second.params;
        if (installFunction != DIF_PROPERTYCHANGE || data == nullptr || !params ||
            params->StateChange != DICS_PROPCHANGE || params->Scope != DICS_FLAG_CONFIGSPECIFIC) {
            return model::Fail(ERROR_INVALID_PARAMETER, false);
        }
        devInst = data->DevInst;
    }
    std::optional<DiskDevice> device = FindDevice(devInst);
    if (!device) return model::Fail(kErrorNoSuchDevinst, false);
    {
        std::lock_guard lock(mutex_);
        // SetupAPI refuses device changes to a 32-bit program on 64-bit Windows.
        if (wow64_) return model::Fail(ERROR_IN_WOW64, false);
    }
    if (!volumes_.Elevated()) return model::Fail(ERROR_ACCESS_DENIED, false);
    // Another process holding the volume vetoes the removal: the installer
    // takes the request and leaves the change for a restart.
    if (volumes_.ForeignHandleCount(device->letter) > 0) {
        std::lock_guard lock(mutex_);
        auto list = deviceLists_.find(set);
        if (list != deviceLists_.end()) list->second.installFlags[devInst] |= DI_NEEDRESTART;
        return true;
    }
    if (std::uint32_t error = RestartDrive(device->letter); error != 0) return model::Fail(error, false);
    std::lock_guard lock(mutex_);
    ++restarts_;
    return true;
}

bool WindowsModel::SetupDiGetDeviceInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                                  SP_DEVINSTALL_PARAMS_A* params) {
    std::lock_guard lock(mutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return model::Fail(ERROR_INVALID_HANDLE, false);
    if (params == nullptr || params->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A)) {
        return model::Fail(kErrorInvalidUserBuffer, false);
    }
    const std::uint32_t cbSize = params->cbSize;
    std::memset(params, 0, sizeof *params);
    params->cbSize = cbSize;
    if (data != nullptr) {
        auto flags = list->second.installFlags.find(data->DevInst);
        if (flags != list->second.installFlags.end()) params->Flags = flags->second;
    }
    return true;
}

bool WindowsModel::SetupDiEnumDeviceInterfaces(DevInfoSet set, SP_DEVINFO_DATA*, const GUID* interfaceClass,
                                               std::uint32_t index, SP_DEVICE_INTERFACE_DATA* interfaceData) {
    std::lock_guard lock(mutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return model::Fail(ERROR_INVALID_HANDLE, false);
    if (interfaceData == nullptr || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return model::Fail(kErrorInvalidUserBuffer, false);
    }
    if (!list->second.interfaces || interfaceClass == nullptr || !SameGuid(*interfaceClass, kGuidDevInterfaceDisk) ||
        index >= list->second.devices.size()) {
        return model::Fail(ERROR_NO_MORE_ITEMS, false);
    }
    interfaceData->InterfaceClassGuid = kGuidDevInterfaceDisk;
    interfaceData->Flags = 1;  // SPINT_ACTIVE
    interfaceData->Reserved = list->second.devices[index];
    return true;
}

bool WindowsModel::SetupDiGetDeviceInterfaceDetailA(DevInfoSet set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                                    SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, std::uint32_t detailSize,
                                                    std::uint32_t* requiredSize, SP_DEVINFO_DATA* data) {
    std::string path;
    DEVINST devInst = 0;
    {
        std::lock_guard lock(mutex_);
        auto list = deviceLists_.find(set);
        if (list == deviceLists_.end()) return model::Fail(ERROR_INVALID_HANDLE, false);
        if (interfaceData == nullptr || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
            return model::Fail(kErrorInvalidUserBuffer, false);
        }
        devInst = static_cast<DEVINST>(interfaceData->Reserved);
        auto device = devices_.find(devInst);
        if (device == devices_.end()) return model::Fail(ERROR_NO_MORE_ITEMS, false);
        path = InterfacePath(device->second.instanceId);
    }
    const std::uint32_t required =
        static_cast<std::uint32_t>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize != nullptr) *requiredSize = required;
    if (detail == nullptr || detailSize < required) return model::Fail(ERROR_INSUFFICIENT_BUFFER, false);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return model::Fail(kErrorInvalidUserBuffer, false);
    if (data != nullptr) {
        if (data->cbSize != sizeof(SP_DEVINFO_DATA)) return model::Fail(kErrorInvalidUserBuffer, false);
        data->ClassGuid = kGuidDevClassDiskDrive;
        data->DevInst = devInst;
        data->Reserved = 0;
    }
    // The path runs on past the structure's one-character array.
    std::memcpy(reinterpret_cast<char*>(detail) + offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath), path.c_str(),
                path.size() + 1);
    return true;
}

bool WindowsModel::SetupDiDestroyDeviceInfoList(DevInfoSet set) {
    std::lock_guard lock(mutex_);
    if (deviceLists_.erase(set) == 0) return model::Fail(ERROR_INVALID_HANDLE, false);
    return true;
}

}  // namespace platform
