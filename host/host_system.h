// The Linux backend of the command line. Each drive letter has a HostDrive
// behind it (host_drive.h says how a kind of drive plugs in): an image file
// (AttachImage, image_drive.h) or a real removable disk
// (removable_disks.h). HostSystem routes the parts' calls to the drive of
// the letter named, and models what Windows keeps beside the drives: the
// device numbers and the registry values that name each disk's device
// instance ID, the device list of the disk-drive class with its restart,
// and the handles. Resources come from the embedded payload table; Sleep
// and clock are real. Thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/host_drive.h"
#include "platform/system_services.h"

class EmulatedScsiDisk;

namespace platform {

class HostSystem : public SystemServices {
public:
    HostSystem();
    ~HostSystem() override;

    // Plugs the drive in under letter (upper-cased), replacing one of the
    // same letter. The drive gets the next device number, 1, 2, ...
    void AttachDrive(char letter, std::shared_ptr<host::HostDrive> drive);
    void DetachDrive(char letter);
    std::shared_ptr<host::HostDrive> Drive(char letter) const;

    // An image file as a removable drive with an emulated SCSI disk; its
    // mounted volume is written with mtools. False when the file cannot be
    // opened for reading and writing.
    bool AttachImage(const std::string& path, char letter);
    void DetachImage(char letter) { DetachDrive(letter); }
    // The emulated disk of an image drive (null for other kinds).
    std::shared_ptr<EmulatedScsiDisk> Disk(char letter) const;

    // What the backend is doing, for a progress display: every SCSI command
    // sent through a raw volume, every restart, every file made whole and
    // every attribute change that failed.
    struct Activity {
        enum class Kind { Command, Restart, FileWritten, AttributesFailed };
        Kind kind = Kind::Command;
        char letter = 0;
        std::uint8_t opcode = 0;  // Command: the CDB's operation code
        std::uint32_t lba = 0;    // Command: READ(10)/WRITE(10) address
        std::uint32_t blocks = 0; // Command: READ(10)/WRITE(10) length
        std::string fileName;     // FileWritten, AttributesFailed
    };
    // Called on the thread that made the call; keep it quick.
    void SetActivityListener(std::function<void(const Activity&)> listener);

    // Raw volumes and mounted files opened and not yet closed.
    std::size_t OpenHandleCount() const;

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
    struct AttachedDrive {
        char letter;
        std::uint32_t deviceNumber;
        std::shared_ptr<host::HostDrive> drive;
    };
    struct OpenHandle {
        char letter;
        std::shared_ptr<host::HostDrive> drive;  // keeps the drive while the handle is open
        std::unique_ptr<host::HostVolume> volume;
        std::unique_ptr<host::MountedFile> file;
        std::string fileName;
    };
    struct DeviceList {
        std::vector<std::uint32_t> deviceNumbers;  // DevInst values
        std::optional<SP_PROPCHANGE_PARAMS> params;
    };

    std::optional<AttachedDrive> FindDrive(char letter) const;
    std::optional<AttachedDrive> FindDevice(DEVINST devInst) const;
    Handle NewHandle();
    Handle OpenVolume(const char* path, std::uint32_t access);
    Handle CreateMountedFile(const char* path, std::uint32_t disposition);
    void Report(const Activity& activity);

    mutable std::mutex mutex_;
    std::map<char, AttachedDrive> drives_;
    std::uint32_t nextDeviceNumber_ = 1;
    std::map<Handle, std::shared_ptr<OpenHandle>> handles_;
    std::map<RegKey, std::string> openKeys_;
    std::map<DevInfoSet, DeviceList> deviceLists_;
    std::uintptr_t nextHandle_ = 0;
    std::function<void(const Activity&)> listener_;
    std::chrono::steady_clock::time_point start_;
};

namespace host {
void SetThreadLastError(std::uint32_t error);
}

}  // namespace platform
