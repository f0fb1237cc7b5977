// The scripted PC of the tests: drives with emulated SCSI disks behind them,
// and (as the work grows) registry, device tree, file store and a virtual
// clock. Thread-safe: the dialog's thread and the worker both call it.
//
// Besides the drives it models the registry (values under
// HKEY_LOCAL_MACHINE), the disk devices of the device tree with their
// restart, the files on mounted volumes with their DOS attributes, and the
// program's resources (the embedded payload table). Each has injectable
// failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "winmodel/emulated_volumes.h"
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

    // Registry values under HKEY_LOCAL_MACHINE; key paths and value names
    // are matched without regard to case. SetRegistryString stores the text
    // with its terminating zero; SetRegistryValue stores the bytes as given.
    void SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                          std::vector<std::uint8_t> data);
    void SetRegistryString(const std::string& keyPath, const std::string& valueName,
                           const std::string& text);
    std::size_t OpenRegistryKeyCount() const;

    // Disk devices of the disk-drive class, one per drive letter, present
    // while their drive is plugged in. AddDiskDevice also gives the drive's
    // volume its device number.
    void AddDiskDevice(char letter, std::uint32_t deviceNumber, std::string instanceId);
    // What a property-change request (the restart) does to the disk of a
    // letter: the first failingAttempts requests fail; a request that
    // succeeds pulls the drive out (its mounted files are gone) and plugs
    // it back replugAfterMs later on the virtual clock, or never.
    struct RestartPlan {
        unsigned failingAttempts = 0;
        std::optional<std::uint32_t> replugAfterMs = 0;
    };
    void SetRestartPlan(char letter, RestartPlan plan);
    enum class DeviceCall { GetClassDevs, DevNodeStatus, DeviceId, SetClassInstallParams };
    // Every later call of that kind fails.
    void FailDeviceCall(DeviceCall call);
    std::size_t ClassDevsCallCount() const;     // device lists asked for
    std::size_t InstallerCallCount() const;     // property-change requests, failed ones too
    std::size_t RestartCount() const;           // requests that restarted a disk
    std::size_t OpenDeviceListCount() const;    // device lists not yet destroyed

    // Files on mounted volumes ("E:\NAME"): created new or truncated by
    // CREATE_ALWAYS with the archive attribute, as the file system does.
    struct SimFile {
        std::string name;  // as created
        std::vector<std::uint8_t> data;
        std::uint32_t attributes = 0;
        std::int32_t createdAt = 0;  // virtual clock
    };
    std::vector<SimFile> Files(char letter) const;  // in creation order
    std::optional<SimFile> File(char letter, const std::string& name) const;
    enum class FileCall { Create, Write, Close, SetAttributes };
    // Every later call of that kind on the named file fails with error.
    void FailFileCall(FileCall call, const std::string& name, std::uint32_t error);
    std::size_t OpenFileCount() const;

    // The program's resources: the embedded payload table. A failing call
    // fails for the id given (0: every id; GetModuleHandle ignores it).
    enum class ResourceCall { GetModuleHandle, FindResource, LoadResource, LockResource };
    void FailResourceCall(ResourceCall call, std::uint32_t id = 0);

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
    struct DiskDevice {
        char letter;
        std::uint32_t deviceNumber;
        std::string instanceId;
        RestartPlan plan;
    };
    struct DeviceList {
        std::vector<std::size_t> devices;  // indices into disks_
        std::optional<SP_PROPCHANGE_PARAMS> params;
    };
    struct OpenFile {
        char letter;
        std::string key;  // upper-cased name
    };
    struct FileFault {
        FileCall call;
        std::string key;
        std::uint32_t error;
    };
    struct ResourceFault {
        ResourceCall call;
        std::uint32_t id;
    };

    void Notify(std::uint32_t event);
    bool DeviceCallFails(DeviceCall call) const;
    bool Restart(std::size_t disk);
    const FileFault* FindFileFault(FileCall call, const std::string& key) const;
    bool ResourceCallFails(ResourceCall call, std::uint32_t id) const;
    Handle CreateMountedFile(const char* path, std::uint32_t disposition);
    bool IsFileHandle(Handle handle) const;
    bool CloseFile(Handle handle);

    // Registry, device tree, files and resources.
    mutable std::mutex servicesMutex_;
    std::map<std::string, std::map<std::string, std::vector<std::uint8_t>>> registry_;
    std::map<RegKey, std::string> openKeys_;
    std::vector<DiskDevice> disks_;
    std::map<DevInfoSet, DeviceList> deviceLists_;
    std::vector<DeviceCall> failingDeviceCalls_;
    std::size_t classDevsCalls_ = 0;
    std::size_t installerCalls_ = 0;
    std::size_t restarts_ = 0;
    std::map<char, std::vector<std::pair<std::string, SimFile>>> files_;
    std::map<Handle, OpenFile> openFiles_;
    std::vector<FileFault> fileFaults_;
    std::vector<ResourceFault> resourceFaults_;
    std::uintptr_t nextServiceHandle_ = 0;

    EmulatedVolumes volumes_;

    mutable std::mutex mutex_;
    std::function<void(std::uint32_t)> listener_;
    std::int64_t clockMs_ = 0;
    std::multimap<std::int64_t, std::function<void()>> scheduled_;
};

}  // namespace platform
