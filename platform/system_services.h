// What the dialog, the builder, the channel and the worker need of the
// operating system, as a thin mirror of the Win32 calls they make. One
// backend is installed per process:
//   win32 - the real API (the Windows program),
//   host  - Linux: image files and removable USB disks (the command line),
//   sim   - the scripted PC of the tests.
// Every call may come from the dialog's thread or the worker thread; backends
// are thread-safe.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace platform {

using Module = void*;        // HMODULE
using ResourceInfo = void*;  // HRSRC
using ResourceData = void*;  // HGLOBAL

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // Files and raw volumes. A path of the form "\\.\E:" names a raw volume.
    virtual Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                               std::uint32_t disposition, std::uint32_t flags) = 0;
    virtual bool CloseHandle(Handle handle) = 0;
    virtual bool DeviceIoControl(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;
    virtual bool WriteFile(Handle handle, const void* data, std::uint32_t size,
                           std::uint32_t* written) = 0;
    virtual bool SetFileAttributesA(const char* path, std::uint32_t attributes) = 0;
    // The calling thread's last error code.
    virtual std::uint32_t GetLastError() = 0;

    // The file system mounted at a root ("E:\"): its label, serial number,
    // longest name, flags and name ("FAT"). Null pointers ask for nothing.
    virtual bool GetVolumeInformationA(const char* rootPath, char* volumeName, std::uint32_t volumeNameSize,
                                       std::uint32_t* serialNumber, std::uint32_t* maxComponentLength,
                                       std::uint32_t* fileSystemFlags, char* fileSystemName,
                                       std::uint32_t fileSystemNameSize);
    // The entries of a directory matching a pattern ("E:\*"): the first one
    // and a search handle (kInvalidHandle when there is none), the next ones
    // until FindNextFileA fails with ERROR_NO_MORE_FILES, then FindClose.
    virtual Handle FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
    virtual bool FindNextFileA(Handle search, WIN32_FIND_DATAA* data);
    virtual bool FindClose(Handle search);

    // Logical drives.
    virtual std::uint32_t GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) = 0;
    virtual std::uint32_t GetDriveTypeA(const char* rootPath) = 0;

    // Registry (results are Windows error codes, ERROR_SUCCESS on success).
    virtual long RegOpenKeyExA(RegKey root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, RegKey* result) = 0;
    virtual long RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* dataSize) = 0;
    virtual long RegCloseKey(RegKey key) = 0;

    // Device tree: SetupAPI and the configuration manager.
    virtual DevInfoSet SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator,
                                            void* window, std::uint32_t flags) = 0;
    virtual bool SetupDiEnumDeviceInfo(DevInfoSet set, std::uint32_t index,
                                       SP_DEVINFO_DATA* data) = 0;
    virtual bool SetupDiSetClassInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                               SP_CLASSINSTALL_HEADER* params,
                                               std::uint32_t paramsSize) = 0;
    virtual bool SetupDiCallClassInstaller(std::uint32_t installFunction, DevInfoSet set,
                                           SP_DEVINFO_DATA* data) = 0;
    virtual bool SetupDiDestroyDeviceInfoList(DevInfoSet set) = 0;
    virtual std::uint32_t CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem,
                                                DEVINST devInst, std::uint32_t flags) = 0;
    virtual std::uint32_t CM_Get_Device_IDA(DEVINST devInst, char* buffer,
                                            std::uint32_t bufferLength, std::uint32_t flags) = 0;
    // What the class installer left for the caller (DI_NEEDRESTART,
    // DI_NEEDREBOOT in Flags).
    virtual bool SetupDiGetDeviceInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                                SP_DEVINSTALL_PARAMS_A* params);
    // Device interfaces of a set made with DIGCF_DEVICEINTERFACE, and the
    // path and device of one (requiredSize: the bytes the detail needs).
    virtual bool SetupDiEnumDeviceInterfaces(DevInfoSet set, SP_DEVINFO_DATA* data,
                                             const GUID* interfaceClass, std::uint32_t index,
                                             SP_DEVICE_INTERFACE_DATA* interfaceData);
    virtual bool SetupDiGetDeviceInterfaceDetailA(DevInfoSet set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                                  SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail,
                                                  std::uint32_t detailSize, std::uint32_t* requiredSize,
                                                  SP_DEVINFO_DATA* data);

    // Whether the process is a 32-bit program on 64-bit Windows (WOW64).
    virtual bool IsWow64Process(Handle process, bool* wow64);

    // The program's own resources (the payload files). The id is an integer
    // resource name; the type name is compared without regard to case.
    virtual Module GetModuleHandleA(const char* moduleName) = 0;
    virtual ResourceInfo FindResourceA(Module module, std::uint32_t id, const char* typeName) = 0;
    virtual ResourceData LoadResource(Module module, ResourceInfo info) = 0;
    virtual std::uint32_t SizeofResource(Module module, ResourceInfo info) = 0;
    virtual const void* LockResource(ResourceData data) = 0;

    // Time: Sleep blocks the caller; clock counts wall-clock milliseconds since
    // the program started (the C runtime's clock on Windows).
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual std::int32_t clock() = 0;
};

// The backend in force. Installing is done once by the entry point (or a
// test fixture) before the program's code runs; the caller keeps ownership.
SystemServices& Sys();
void InstallSystemServices(SystemServices* services);

}  // namespace platform
