// The scripted PC of the tests: drives with emulated SCSI disks behind them,
// and (as the work grows) registry, device tree, file store and a virtual
// clock. Thread-safe: the dialog's thread and the worker both call it.
//
// Calls that the simulated PC does not model yet (registry, device tree,
// resources, files on mounted volumes) fail cleanly: a null or invalid
// result and ERROR_NOT_SUPPORTED (registry: ERROR_FILE_NOT_FOUND).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/scsi_disk/emulated_volumes.h"
#include "platform/system_services.h"

class EmulatedScsiDisk;

namespace platform {

// WM_DEVICECHANGE events reported to the device-change listener.
inline constexpr std::uint32_t kDbtDeviceArrival = 0x8000;         // DBT_DEVICEARRIVAL
inline constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE

class SimSystem : public SystemServices {
public:
    SimSystem();
    ~SimSystem() override;

    // Drives. AddDrive plugs a drive in (replacing one of the same letter);
    // a removable drive usually has an emulated disk behind its raw volume.
    // Plugging and pulling report DBT_DEVICEARRIVAL (0x8000) and
    // DBT_DEVICEREMOVECOMPLETE (0x8004) to the device-change listener.
    void AddDrive(char letter, std::uint32_t driveType,
                  std::shared_ptr<EmulatedScsiDisk> disk = nullptr);
    void RemoveDrive(char letter);
    void SetDeviceChangeListener(std::function<void(std::uint32_t event)> listener);
    std::shared_ptr<EmulatedScsiDisk> Disk(char letter) const;

    // Raw volumes: fault injection for the open and the control calls, lock
    // state, handle accounting and the event log (see emulated_volumes.h).
    EmulatedVolumes& Volumes() { return volumes_; }
    // Handles opened through this system and not yet closed.
    std::size_t OpenHandleCount() const;

    // Virtual clock: starts at 0; Sleep advances it without real waiting and
    // runs the actions scheduled up to the new time, in time order, on the
    // sleeping thread.
    void AdvanceClock(std::uint32_t milliseconds);
    void ScheduleAt(std::int32_t clockMilliseconds, std::function<void()> action);

    // The calling thread's last error, as SetLastError would set it.
    void SetLastError(std::uint32_t error);

    // SystemServices
    Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                       std::uint32_t disposition, std::uint32_t flags) override;
    bool CloseHandle(Handle handle) override;
    bool DeviceIoControl(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                         void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool WriteFile(Handle handle, const void* data, std::uint32_t size,
                   std::uint32_t* written) override;
    bool SetFileAttributesA(const char* path, std::uint32_t attributes) override;
    std::uint32_t GetLastError() override;

    std::uint32_t GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) override;
    std::uint32_t GetDriveTypeA(const char* rootPath) override;

    long RegOpenKeyExA(RegKey root, const char* subKey, std::uint32_t options,
                       std::uint32_t access, RegKey* result) override;
    long RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* dataSize) override;
    long RegCloseKey(RegKey key) override;

    DevInfoSet SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator, void* window,
                                    std::uint32_t flags) override;
    bool SetupDiEnumDeviceInfo(DevInfoSet set, std::uint32_t index,
                               SP_DEVINFO_DATA* data) override;
    bool SetupDiSetClassInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                       SP_CLASSINSTALL_HEADER* params,
                                       std::uint32_t paramsSize) override;
    bool SetupDiCallClassInstaller(std::uint32_t installFunction, DevInfoSet set,
                                   SP_DEVINFO_DATA* data) override;
    bool SetupDiDestroyDeviceInfoList(DevInfoSet set) override;
    std::uint32_t CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem,
                                        DEVINST devInst, std::uint32_t flags) override;
    std::uint32_t CM_Get_Device_IDA(DEVINST devInst, char* buffer, std::uint32_t bufferLength,
                                    std::uint32_t flags) override;

    Module GetModuleHandleA(const char* moduleName) override;
    ResourceInfo FindResourceA(Module module, std::uint32_t id, const char* typeName) override;
    ResourceData LoadResource(Module module, ResourceInfo info) override;
    std::uint32_t SizeofResource(Module module, ResourceInfo info) override;
    const void* LockResource(ResourceData data) override;

    void Sleep(std::uint32_t milliseconds) override;
    std::int32_t clock() override;

private:
    void Notify(std::uint32_t event);

    EmulatedVolumes volumes_;

    mutable std::mutex mutex_;
    std::function<void(std::uint32_t)> listener_;
    std::int64_t clockMs_ = 0;
    std::multimap<std::int64_t, std::function<void()>> scheduled_;
};

}  // namespace platform
