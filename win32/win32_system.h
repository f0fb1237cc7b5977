// The Windows backend: every call goes straight to the Win32 API.
#pragma once

#include "platform/system_services.h"

namespace platform {

class Win32System : public SystemServices {
public:
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

    void Sleep(std::uint32_t milliseconds) override;
    std::int32_t clock() override;
};

}  // namespace platform
