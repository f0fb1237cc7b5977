// The disk devices of the simulated PC's device tree and their restart
// through a property-change request to the class installer.
#include <cstring>

#include "tests/sim/sim_handles.h"
#include "tests/sim/sim_last_error.h"
#include "tests/sim/sim_system.h"

namespace platform {

namespace {
constexpr std::uint32_t kCrNoSuchDevnode = 0x0D;  // CR_NO_SUCH_DEVNODE
constexpr std::uint32_t kCrBufferSmall = 0x1A;    // CR_BUFFER_SMALL
// DevInst values are the disk's index plus this.
constexpr DEVINST kFirstDevInst = 1;

bool SameGuid(const GUID& left, const GUID& right) { return std::memcmp(&left, &right, sizeof left) == 0; }
}  // namespace

void SimSystem::AddDiskDevice(char letter, std::uint32_t deviceNumber, std::string instanceId) {
    volumes_.SetDeviceNumber(letter, deviceNumber);
    std::lock_guard lock(servicesMutex_);
    disks_.push_back(DiskDevice{letter, deviceNumber, std::move(instanceId), RestartPlan{}});
}

void SimSystem::SetRestartPlan(char letter, RestartPlan plan) {
    std::lock_guard lock(servicesMutex_);
    for (DiskDevice& disk : disks_) {
        if (disk.letter == letter) disk.plan = plan;
    }
}

void SimSystem::FailDeviceCall(DeviceCall call) {
    std::lock_guard lock(servicesMutex_);
    failingDeviceCalls_.push_back(call);
}

bool SimSystem::DeviceCallFails(DeviceCall call) const {
    for (DeviceCall failing : failingDeviceCalls_) {
        if (failing == call) return true;
    }
    return false;
}

std::size_t SimSystem::ClassDevsCallCount() const {
    std::lock_guard lock(servicesMutex_);
    return classDevsCalls_;
}

std::size_t SimSystem::InstallerCallCount() const {
    std::lock_guard lock(servicesMutex_);
    return installerCalls_;
}

std::size_t SimSystem::RestartCount() const {
    std::lock_guard lock(servicesMutex_);
    return restarts_;
}

std::size_t SimSystem::OpenDeviceListCount() const {
    std::lock_guard lock(servicesMutex_);
    return deviceLists_.size();
}

DevInfoSet SimSystem::SetupDiGetClassDevsA(const GUID* classGuid, const char*, void*, std::uint32_t flags) {
    std::vector<char> presentLetters;
    {
        std::lock_guard lock(servicesMutex_);
        ++classDevsCalls_;
        // A PC without any disk device in its tree has no list to give.
        if (DeviceCallFails(DeviceCall::GetClassDevs) || classGuid == nullptr || disks_.empty()) {
            return sim::Fail(ERROR_INVALID_PARAMETER, static_cast<DevInfoSet>(kInvalidHandle));
        }
        for (const DiskDevice& disk : disks_) presentLetters.push_back(disk.letter);
    }
    DeviceList list;
    if (SameGuid(*classGuid, kGuidDevClassDiskDrive)) {
        for (std::size_t index = 0; index < presentLetters.size(); ++index) {
            const char root[] = {presentLetters[index], ':', '\\', '\0'};
            const bool present = volumes_.GetDriveType(root) != DRIVE_NO_ROOT_DIR;
            if (present || (flags & DIGCF_PRESENT) == 0) list.devices.push_back(index);
        }
    }
    std::lock_guard lock(servicesMutex_);
    DevInfoSet set = sim::ServiceHandle(nextServiceHandle_);
    deviceLists_[set] = std::move(list);
    return set;
}

bool SimSystem::SetupDiEnumDeviceInfo(DevInfoSet set, std::uint32_t index, SP_DEVINFO_DATA* data) {
    std::lock_guard lock(servicesMutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return sim::Fail(ERROR_INVALID_HANDLE, false);
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA)) return sim::Fail(ERROR_INVALID_PARAMETER, false);
    if (index >= list->second.devices.size()) return sim::Fail(ERROR_NO_MORE_ITEMS, false);
    data->ClassGuid = kGuidDevClassDiskDrive;
    data->DevInst = static_cast<DEVINST>(list->second.devices[index]) + kFirstDevInst;
    data->Reserved = 0;
    return true;
}

std::uint32_t SimSystem::CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem, DEVINST devInst,
                                               std::uint32_t) {
    std::lock_guard lock(servicesMutex_);
    if (status != nullptr) *status = 0;
    if (problem != nullptr) *problem = 0;
    if (DeviceCallFails(DeviceCall::DevNodeStatus) || devInst < kFirstDevInst ||
        devInst - kFirstDevInst >= disks_.size()) {
        return kCrNoSuchDevnode;
    }
    return CR_SUCCESS;
}

std::uint32_t SimSystem::CM_Get_Device_IDA(DEVINST devInst, char* buffer, std::uint32_t bufferLength,
                                           std::uint32_t) {
    std::lock_guard lock(servicesMutex_);
    if (buffer != nullptr && bufferLength > 0) buffer[0] = '\0';
    if (DeviceCallFails(DeviceCall::DeviceId) || devInst < kFirstDevInst || devInst - kFirstDevInst >= disks_.size()) {
        return kCrNoSuchDevnode;
    }
    const std::string& id = disks_[devInst - kFirstDevInst].instanceId;
    if (buffer == nullptr || id.size() + 1 > bufferLength) return kCrBufferSmall;
    std::memcpy(buffer, id.c_str(), id.size() + 1);
    return CR_SUCCESS;
}

bool SimSystem::SetupDiSetClassInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data, SP_CLASSINSTALL_HEADER* params,
                                              std::uint32_t paramsSize) {
    std::lock_guard lock(servicesMutex_);
    auto list = deviceLists_.find(set);
    if (list == deviceLists_.end()) return sim::Fail(ERROR_INVALID_HANDLE, false);
    if (DeviceCallFails(DeviceCall::SetClassInstallParams)) return sim::Fail(ERROR_ACCESS_DENIED, false);
    if (data == nullptr || params == nullptr || params->cbSize != sizeof(SP_CLASSINSTALL_HEADER) ||
        params->InstallFunction != DIF_PROPERTYCHANGE || paramsSize != sizeof(SP_PROPCHANGE_PARAMS)) {
        return sim::Fail(ERROR_INVALID_PARAMETER, false);
    }
    SP_PROPCHANGE_PARAMS change;
    std::memcpy(&change, params, sizeof change);
    list->second.params = change;
    return true;
}

bool SimSystem::SetupDiCallClassInstaller(std::uint32_t installFunction, DevInfoSet set, SP_DEVINFO_DATA* data) {
    std::size_t disk = 0;
    {
        std::lock_guard lock(servicesMutex_);
        ++installerCalls_;
        auto list = deviceLists_.find(set);
        if (list == deviceLists_.end()) return sim::Fail(ERROR_INVALID_HANDLE, false);
        const auto& params = list->second.params;
        if (installFunction != DIF_PROPERTYCHANGE || data == nullptr || data->DevInst < kFirstDevInst ||
            data->DevInst - kFirstDevInst >= disks_.size() || !params || params->StateChange != DICS_PROPCHANGE ||
            params->Scope != DICS_FLAG_CONFIGSPECIFIC) {
            return sim::Fail(ERROR_INVALID_PARAMETER, false);
        }
        disk = data->DevInst - kFirstDevInst;
        if (disks_[disk].plan.failingAttempts > 0) {
            --disks_[disk].plan.failingAttempts;
            return sim::Fail(ERROR_IO_DEVICE, false);
        }
        ++restarts_;
    }
    return Restart(disk);
}

// The disk goes away with its mounted files and comes back as planned,
// under the same letter and device number.
bool SimSystem::Restart(std::size_t disk) {
    DiskDevice device;
    {
        std::lock_guard lock(servicesMutex_);
        device = disks_[disk];
        files_.erase(device.letter);
    }
    const char root[] = {device.letter, ':', '\\', '\0'};
    const std::uint32_t driveType = volumes_.GetDriveType(root);
    std::shared_ptr<EmulatedScsiDisk> medium = volumes_.Disk(device.letter);
    RemoveDrive(device.letter);
    if (device.plan.replugAfterMs) {
        ScheduleAt(clock() + static_cast<std::int32_t>(*device.plan.replugAfterMs), [this, device, driveType, medium] {
            AddDrive(device.letter, driveType, medium);
            volumes_.SetDeviceNumber(device.letter, device.deviceNumber);
        });
    }
    return true;
}

bool SimSystem::SetupDiDestroyDeviceInfoList(DevInfoSet set) {
    std::lock_guard lock(servicesMutex_);
    if (deviceLists_.erase(set) == 0) return sim::Fail(ERROR_INVALID_HANDLE, false);
    return true;
}

}  // namespace platform
