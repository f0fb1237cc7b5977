// What the parts need of the operating system, as a thin mirror of the Win32
// calls they make. One backend is installed per process:
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
// test fixture) before any part runs; the caller keeps ownership.
SystemServices& Sys();
void InstallSystemServices(SystemServices* services);

}  // namespace platform
