// The one model of Windows behind the Linux program (host/HostSystem) and
// the simulated PC of the tests (tests/sim/SimSystem): the system services
// the program calls, answered as Windows answers them, with a ModelDrive
// (model_drive.h) behind each drive letter. Each rule lives in one place:
//   - raw volumes, their handles and lock rules, the pass-through checks,
//     the device number, drive strings and types: raw_volumes.cpp
//     (the request block itself: pass_through_target.cpp);
//   - files on a mounted volume (root paths and names, CREATE_ALWAYS, the
//     attributes that refuse a replacement, handles of a disk gone away):
//     model_files.cpp (path rules: root_path.cpp);
//   - registry values (the Disk\Enum value of each disk): model_registry.cpp;
//   - the device list of the disk-drive class, its status and IDs, the
//     disk interfaces and their paths, and the restart through the class
//     installer (refused without elevation and to a 32-bit program on
//     64-bit Windows, left for later while a handle holds the volume):
//     model_device_tree.cpp;
//   - rights, mounted file systems, dismount and the partition table in
//     force: raw_volumes.cpp; FAT file systems as mounted: fat_volume.cpp;
//   - the program's resources from the embedded table: model_resources.cpp;
//   - the per-thread last error: last_error.cpp.
// Subclasses add what is theirs: fault injection, counters and a virtual
// clock (the simulated PC), image files and real disks (the Linux backend);
// they give Sleep and clock. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_services.h"
#include "winmodel/raw_volumes.h"

namespace platform {

class WindowsModel : public SystemServices {
public:
    WindowsModel();
    ~WindowsModel() override;

    // Raw volumes and drive letters (raw_volumes.h): plugging drives
    // in, lock state, handle accounting, the event log and volume faults.
    RawVolumes& Volumes() { return volumes_; }
    const RawVolumes& Volumes() const { return volumes_; }

    // Restarts the disk behind the letter, as a property-change request
    // through the class installer does: handles and open files of the disk
    // as it was fail from now on, then the drive restarts. Returns 0 or the
    // error the request fails with.
    virtual std::uint32_t RestartDrive(char letter);

    // Registry values under HKEY_LOCAL_MACHINE; key paths and value names
    // are matched without regard to case. SetRegistryString stores the text
    // with its terminating zero (REG_SZ); SetRegistryValue stores the bytes
    // as given (REG_BINARY unless they end in a zero).
    void SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                          std::vector<std::uint8_t> data);
    void SetRegistryString(const std::string& keyPath, const std::string& valueName,
                           const std::string& text);
    void RemoveRegistryValue(const std::string& keyPath, const std::string& valueName);
    std::size_t OpenRegistryKeyCount() const;

    // Disk devices of the disk-drive class, each for a drive letter,
    // present while its drive is. AddDiskDevice also gives the drive's
    // volume its device number.
    void AddDiskDevice(char letter, std::uint32_t deviceNumber, std::string instanceId);
    void RemoveDiskDevices(char letter);

    // Files on mounted volumes opened and not yet closed.
    std::size_t OpenFileCount() const;

    // The calling thread's last error, as SetLastError would set it.
    void SetLastError(std::uint32_t error);

    // The process: whether it runs elevated (the default; otherwise raw
    // volumes and disks are refused for reading and writing, and so are
    // device restarts) and whether it is a 32-bit program on 64-bit Windows
    // (IsWow64Process says so, and the class installer refuses it).
    void SetElevated(bool elevated);
    void SetWow64(bool wow64);

    // The path of the disk interface of a device instance ID, as the
    // system makes it ("\\?\usbstor#disk&...#{53f56307-...}").
    static std::string InterfacePath(const std::string& instanceId);

    // Calls a test double can make fail (SimSystem does).
    enum class DeviceCall { GetClassDevs, GetInterfaceDevs, DevNodeStatus, DeviceId, SetClassInstallParams };
    enum class ResourceCall { GetModuleHandle, FindResource, LoadResource, LockResource };

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
    bool GetVolumeInformationA(const char* rootPath, char* volumeName, std::uint32_t volumeNameSize,
                               std::uint32_t* serialNumber, std::uint32_t* maxComponentLength,
                               std::uint32_t* fileSystemFlags, char* fileSystemName,
                               std::uint32_t fileSystemNameSize) override;
    Handle FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) override;
    bool FindNextFileA(Handle search, WIN32_FIND_DATAA* data) override;
    bool FindClose(Handle search) override;

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
    bool SetupDiGetDeviceInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                        SP_DEVINSTALL_PARAMS_A* params) override;
    bool SetupDiEnumDeviceInterfaces(DevInfoSet set, SP_DEVINFO_DATA* data, const GUID* interfaceClass,
                                     std::uint32_t index, SP_DEVICE_INTERFACE_DATA* interfaceData) override;
    bool SetupDiGetDeviceInterfaceDetailA(DevInfoSet set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                          SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, std::uint32_t detailSize,
                                          std::uint32_t* requiredSize, SP_DEVINFO_DATA* data) override;
    bool IsWow64Process(Handle process, bool* wow64) override;

    Module GetModuleHandleA(const char* moduleName) override;
    ResourceInfo FindResourceA(Module module, std::uint32_t id, const char* typeName) override;
    ResourceData LoadResource(Module module, ResourceInfo info) override;
    std::uint32_t SizeofResource(Module module, ResourceInfo info) override;
    const void* LockResource(ResourceData data) override;

protected:
    // Fault hooks: true makes the call fail as Windows reports such a failure.
    virtual bool DeviceCallFails(DeviceCall) const { return false; }
    virtual bool ResourceCallFails(ResourceCall, std::uint32_t /*id*/) const { return false; }

    // What the model did, for subclasses that report it; called on the
    // calling thread, outside the model's locks.
    virtual void OnPassThrough(char /*letter*/, const void* /*in*/, std::uint32_t /*inSize*/) {}
    virtual void OnRestart(char /*letter*/) {}
    virtual void OnFileWritten(char /*letter*/, const std::string& /*name*/) {}
    virtual void OnAttributesFailed(char /*letter*/, const std::string& /*name*/) {}

    // Counts of the device calls.
    std::size_t ClassDevsCallCount() const;   // device lists of the disk-drive class asked for
    std::size_t InstallerCallCount() const;   // property-change requests, failed ones too
    std::size_t RestartCount() const;         // requests that restarted a disk
    std::size_t OpenDeviceListCount() const;  // device lists not yet destroyed

private:
    struct DiskDevice {
        char letter;
        std::uint32_t deviceNumber;
        std::string instanceId;
    };
    struct DeviceList {
        std::vector<DEVINST> devices;
        bool interfaces = false;  // made with DIGCF_DEVICEINTERFACE: one disk interface per device
        std::optional<SP_PROPCHANGE_PARAMS> params;
        std::map<DEVINST, std::uint32_t> installFlags;  // DI_ flags the installer left
    };
    struct Search {
        std::vector<DirectoryEntry> entries;
        std::size_t next = 0;
    };
    struct OpenFile {
        char letter;
        std::uint64_t plugging;  // the drive's plugging-in the file was made on
        std::string name;
        std::unique_ptr<MountedFile> file;
    };

    Handle NewServiceHandle();
    Handle CreateMountedFile(const char* path, std::uint32_t disposition);
    // The letter of the device whose interface path this is (0: none).
    char InterfaceLetter(const char* path) const;
    std::shared_ptr<OpenFile> TakeFile(Handle handle);
    std::optional<DiskDevice> FindDevice(DEVINST devInst) const;

    RawVolumes volumes_;

    mutable std::mutex mutex_;
    std::uintptr_t nextServiceHandle_ = 0;
    std::map<Handle, std::shared_ptr<OpenFile>> files_;
    std::map<std::string, std::map<std::string, std::vector<std::uint8_t>>> registry_;
    std::map<RegKey, std::string> openKeys_;
    std::map<DEVINST, DiskDevice> devices_;
    DEVINST nextDevInst_ = 1;
    std::map<DevInfoSet, DeviceList> deviceLists_;
    std::size_t classDevsCalls_ = 0;
    std::size_t installerCalls_ = 0;
    std::size_t restarts_ = 0;
    std::map<Handle, Search> searches_;
    bool wow64_ = false;
};

}  // namespace platform
