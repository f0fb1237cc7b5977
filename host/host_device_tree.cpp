// What Windows keeps beside the drives, for the attached drives: the disk
// driver's enumeration key in the registry (value "<device number>" = the
// device instance ID) and the present disks of the disk-drive class, whose
// restart by a property-change request goes to the drive.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "host/host_system.h"

namespace platform {

namespace {

constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr std::uint32_t kRegSz = 1;               // REG_SZ
constexpr std::uint32_t kCrNoSuchDevnode = 0x0D;  // CR_NO_SUCH_DEVNODE
constexpr std::uint32_t kCrBufferSmall = 0x1A;    // CR_BUFFER_SMALL
constexpr std::uint32_t kErrorNoSuchDevinst = 0xE000020B;  // ERROR_NO_SUCH_DEVINST

template <typename Result>
Result Fail(std::uint32_t error, Result result) {
    host::SetThreadLastError(error);
    return result;
}

bool SameTextIgnoringCase(const std::string& left, const std::string& right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
           });
}

bool SameGuid(const GUID& left, const GUID& right) { return std::memcmp(&left, &right, sizeof left) == 0; }

}  // namespace

std::optional<HostSystem::AttachedDrive> HostSystem::FindDevice(DEVINST devInst) const {
    std::lock_guard lock(mutex_);
    for (const auto& entry : drives_) {
        if (entry.second.deviceNumber == devInst) return entry.second;
    }
    return std::nullopt;
}

long HostSystem::RegOpenKeyExA(RegKey root, const char* subKey, std::uint32_t, std::uint32_t, RegKey* result) {
    if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (root != kHkeyLocalMachine) return ERROR_INVALID_HANDLE;
    if (!SameTextIgnoringCase(subKey, kDiskEnumKey)) return ERROR_FILE_NOT_FOUND;
    std::lock_guard lock(mutex_);
    RegKey key = NewHandle();
    openKeys_[key] = kDiskEnumKey;
    *result = key;
    return ERROR_SUCCESS;
}

long HostSystem::RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataSize) {
    std::string id;
    {
        std::lock_guard lock(mutex_);
        if (openKeys_.count(key) == 0) return ERROR_INVALID_HANDLE;
        bool found = false;
        for (const auto& entry : drives_) {
            if (valueName != nullptr && std::to_string(entry.second.deviceNumber) == valueName) {
                id = entry.second.drive->InstanceId();
                found = true;
            }
        }
        if (!found) return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) *type = kRegSz;
    if (dataSize == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    const auto size = static_cast<std::uint32_t>(id.size() + 1);
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) std::memcpy(data, id.c_str(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

long HostSystem::RegCloseKey(RegKey key) {
    std::lock_guard lock(mutex_);
    return openKeys_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

DevInfoSet HostSystem::SetupDiGetClassDevsA(const GUID* classGuid, const char*, void*, std::uint32_t flags) {
    if (classGuid == nullptr) return Fail(ERROR_INVALID_PARAMETER, static_cast<DevInfoSet>(kInvalidHandle));
    std::vector<AttachedDrive> drives;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : drives_) drives.push_back(entry.second);
    }
    DeviceList list;
    if (SameGuid(*classGuid, kGuidDevClassDiskDrive)) {
        for (const AttachedDrive& drive : drives) {
            if ((flags & DIGCF_PRESENT) == 0 || drive.drive->IsPresent()) list.deviceNumbers.push_back(drive.deviceNumber);
        }
    }
    std::lock_guard lock(mutex_);
    DevInfoSet set = NewHandle();
    deviceLists_[set] = std::move(list);
    return set;
}

bool HostSystem::SetupDiEnumDeviceInfo(DevInfoSet set, std::uint32_t index, SP_DEVINFO_DATA* data) {
    std::lock_guard lock(mutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return Fail(ERROR_INVALID_HANDLE, false);
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_PARAMETER, false);
    if (index >= list->second.deviceNumbers.size()) return Fail(ERROR_NO_MORE_ITEMS, false);
    data->ClassGuid = kGuidDevClassDiskDrive;
    data->DevInst = list->second.deviceNumbers[index];
    data->Reserved = 0;
    return true;
}

std::uint32_t HostSystem::CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem, DEVINST devInst,
                                               std::uint32_t) {
    if (status != nullptr) *status = 0;
    if (problem != nullptr) *problem = 0;
    return FindDevice(devInst) ? CR_SUCCESS : kCrNoSuchDevnode;
}

std::uint32_t HostSystem::CM_Get_Device_IDA(DEVINST devInst, char* buffer, std::uint32_t bufferLength,
                                           std::uint32_t) {
    if (buffer != nullptr && bufferLength > 0) buffer[0] = '\0';
    std::optional<AttachedDrive> drive = FindDevice(devInst);
    if (!drive) return kCrNoSuchDevnode;
    const std::string id = drive->drive->InstanceId();
    if (buffer == nullptr || id.size() + 1 > bufferLength) return kCrBufferSmall;
    std::memcpy(buffer, id.c_str(), id.size() + 1);
    return CR_SUCCESS;
}

bool HostSystem::SetupDiSetClassInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data, SP_CLASSINSTALL_HEADER* params,
                                              std::uint32_t paramsSize) {
    std::lock_guard lock(mutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return Fail(ERROR_INVALID_HANDLE, false);
    if (data == nullptr || params == nullptr || params->cbSize != sizeof(SP_CLASSINSTALL_HEADER) ||
        params->InstallFunction != DIF_PROPERTYCHANGE || paramsSize != sizeof(SP_PROPCHANGE_PARAMS)) {
        return Fail(ERROR_INVALID_PARAMETER, false);
    }
    SP_PROPCHANGE_PARAMS change;
    std::memcpy(&change, params, sizeof change);
    list->second.params = change;
    return true;
}

bool HostSystem::SetupDiCallClassInstaller(std::uint32_t installFunction, DevInfoSet set, SP_DEVINFO_DATA* data) {
    DEVINST devInst = 0;
    {
        std::lock_guard lock(mutex_);
        auto list = deviceLists_.find(set);
        if (list == deviceLists_.end()) return Fail(ERROR_INVALID_HANDLE, false);
        const auto& params = list->second.params;
        if (installFunction != DIF_PROPERTYCHANGE || data == nullptr || !params ||
            params->StateChange != DICS_PROPCHANGE || params->Scope != DICS_FLAG_CONFIGSPECIFIC) {
            return Fail(ERROR_INVALID_PARAMETER, false);
        }
        devInst = data->DevInst;
    }
    std::optional<AttachedDrive> drive = FindDevice(devInst);
    if (!drive) return Fail(kErrorNoSuchDevinst, false);
    Activity restart;
    restart.kind = Activity::Kind::Restart;
    restart.letter = drive->letter;
    Report(restart);
    const std::uint32_t error = drive->drive->Restart();
    if (error != 0) return Fail(error, false);
    return true;
}

bool HostSystem::SetupDiDestroyDeviceInfoList(DevInfoSet set) {
    std::lock_guard lock(mutex_);
    if (deviceLists_.erase(set) == 0) return Fail(ERROR_INVALID_HANDLE, false);
    return true;
}

}  // namespace platform
