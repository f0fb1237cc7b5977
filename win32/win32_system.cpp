// clang-format off
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
// clang-format on

#include <ctime>

#include "win32/win32_system.h"

namespace platform {

namespace {

HANDLE Native(Handle handle) { return static_cast<HANDLE>(handle); }
HKEY NativeKey(RegKey key) { return static_cast<HKEY>(key); }
HDEVINFO NativeSet(DevInfoSet set) { return static_cast<HDEVINFO>(set); }
::SP_DEVINFO_DATA* NativeDevInfo(SP_DEVINFO_DATA* data) {
    return reinterpret_cast<::SP_DEVINFO_DATA*>(data);
}

}  // namespace

Handle Win32System::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                std::uint32_t disposition, std::uint32_t flags) {
    return ::CreateFileA(path, access, shareMode, nullptr, disposition, flags, nullptr);
}

bool Win32System::CloseHandle(Handle handle) { return ::CloseHandle(Native(handle)) != FALSE; }

bool Win32System::DeviceIoControl(Handle handle, std::uint32_t code, void* in,
                                  std::uint32_t inSize, void* out, std::uint32_t outSize,
                                  std::uint32_t* bytesReturned) {
    DWORD returned = 0;
    BOOL ok = ::DeviceIoControl(Native(handle), code, in, inSize, out, outSize, &returned, nullptr);
    if (bytesReturned != nullptr) *bytesReturned = returned;
    return ok != FALSE;
}

bool Win32System::WriteFile(Handle handle, const void* data, std::uint32_t size,
                            std::uint32_t* written) {
    DWORD count = 0;
    BOOL ok = ::WriteFile(Native(handle), data, size, &count, nullptr);
    if (written != nullptr) *written = count;
    return ok != FALSE;
}

bool Win32System::SetFileAttributesA(const char* path, std::uint32_t attributes) {
    return ::SetFileAttributesA(path, attributes) != FALSE;
}

std::uint32_t Win32System::GetLastError() { return ::GetLastError(); }

bool Win32System::GetVolumeInformationA(const char* rootPath, char* volumeName, std::uint32_t volumeNameSize,
                                        std::uint32_t* serialNumber, std::uint32_t* maxComponentLength,
                                        std::uint32_t* fileSystemFlags, char* fileSystemName,
                                        std::uint32_t fileSystemNameSize) {
    DWORD serial = 0;
    DWORD maxComponent = 0;
    DWORD flags = 0;
    BOOL ok = ::GetVolumeInformationA(rootPath, volumeName, volumeNameSize, &serial, &maxComponent, &flags,
                                      fileSystemName, fileSystemNameSize);
    if (serialNumber != nullptr) *serialNumber = serial;
    if (maxComponentLength != nullptr) *maxComponentLength = maxComponent;
    if (fileSystemFlags != nullptr) *fileSystemFlags = flags;
    return ok != FALSE;
}

Handle Win32System::FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
    return ::FindFirstFileA(pattern, reinterpret_cast<::WIN32_FIND_DATAA*>(data));
}

bool Win32System::FindNextFileA(Handle search, WIN32_FIND_DATAA* data) {
    return ::FindNextFileA(Native(search), reinterpret_cast<::WIN32_FIND_DATAA*>(data)) != FALSE;
}

bool Win32System::FindClose(Handle search) { return ::FindClose(Native(search)) != FALSE; }

std::uint32_t Win32System::GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) {
    return ::GetLogicalDriveStringsA(bufferLength, buffer);
}

std::uint32_t Win32System::GetDriveTypeA(const char* rootPath) { return ::GetDriveTypeA(rootPath); }

long Win32System::RegOpenKeyExA(RegKey root, const char* subKey, std::uint32_t options,
                                std::uint32_t access, RegKey* result) {
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExA(NativeKey(root), subKey, options, access, &key);
    if (result != nullptr) *result = key;
    return status;
}

long Win32System::RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                   std::uint8_t* data, std::uint32_t* dataSize) {
    DWORD valueType = 0;
    DWORD size = dataSize != nullptr ? *dataSize : 0;
    LONG status = ::RegQueryValueExA(NativeKey(key), valueName, nullptr, &valueType, data,
                                     dataSize != nullptr ? &size : nullptr);
    if (type != nullptr) *type = valueType;
    if (dataSize != nullptr) *dataSize = size;
    return status;
}

long Win32System::RegCloseKey(RegKey key) { return ::RegCloseKey(NativeKey(key)); }

DevInfoSet Win32System::SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator,
                                             void* window, std::uint32_t flags) {
    return ::SetupDiGetClassDevsA(reinterpret_cast<const ::GUID*>(classGuid), enumerator,
                                  static_cast<HWND>(window), flags);
}

bool Win32System::SetupDiEnumDeviceInfo(DevInfoSet set, std::uint32_t index,
                                        SP_DEVINFO_DATA* data) {
    return ::SetupDiEnumDeviceInfo(NativeSet(set), index, NativeDevInfo(data)) != FALSE;
}

bool Win32System::SetupDiSetClassInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                                SP_CLASSINSTALL_HEADER* params,
                                                std::uint32_t paramsSize) {
    return ::SetupDiSetClassInstallParamsA(NativeSet(set), NativeDevInfo(data),
                                           reinterpret_cast<::SP_CLASSINSTALL_HEADER*>(params),
                                           paramsSize) != FALSE;
}

bool Win32System::SetupDiCallClassInstaller(std::uint32_t installFunction, DevInfoSet set,
                                            SP_DEVINFO_DATA* data) {
    return ::SetupDiCallClassInstaller(installFunction, NativeSet(set), NativeDevInfo(data)) !=
           FALSE;
}

bool Win32System::SetupDiDestroyDeviceInfoList(DevInfoSet set) {
    return ::SetupDiDestroyDeviceInfoList(NativeSet(set)) != FALSE;
}

std::uint32_t Win32System::CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem,
                                                 DEVINST devInst, std::uint32_t flags) {
    ULONG nodeStatus = 0;
    ULONG nodeProblem = 0;
    CONFIGRET result = ::CM_Get_DevNode_Status(&nodeStatus, &nodeProblem, devInst, flags);
    if (status != nullptr) *status = nodeStatus;
    if (problem != nullptr) *problem = nodeProblem;
    return result;
}

std::uint32_t Win32System::CM_Get_Device_IDA(DEVINST devInst, char* buffer,
                                             std::uint32_t bufferLength, std::uint32_t flags) {
    return ::CM_Get_Device_IDA(devInst, buffer, bufferLength, flags);
}

bool Win32System::SetupDiGetDeviceInstallParamsA(DevInfoSet set, SP_DEVINFO_DATA* data,
                                                 SP_DEVINSTALL_PARAMS_A* params) {
    return ::SetupDiGetDeviceInstallParamsA(NativeSet(set), NativeDevInfo(data),
                                            reinterpret_cast<::SP_DEVINSTALL_PARAMS_A*>(params)) != FALSE;
}

bool Win32System::SetupDiEnumDeviceInterfaces(DevInfoSet set, SP_DEVINFO_DATA* data, const GUID* interfaceClass,
                                              std::uint32_t index, SP_DEVICE_INTERFACE_DATA* interfaceData) {
    return ::SetupDiEnumDeviceInterfaces(NativeSet(set), NativeDevInfo(data),
                                         reinterpret_cast<const ::GUID*>(interfaceClass), index,
                                         reinterpret_cast<::SP_DEVICE_INTERFACE_DATA*>(interfaceData)) != FALSE;
}

bool Win32System::SetupDiGetDeviceInterfaceDetailA(DevInfoSet set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                                   SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail,
                                                   std::uint32_t detailSize, std::uint32_t* requiredSize,
                                                   SP_DEVINFO_DATA* data) {
    DWORD required = 0;
    BOOL ok = ::SetupDiGetDeviceInterfaceDetailA(
        NativeSet(set), reinterpret_cast<::SP_DEVICE_INTERFACE_DATA*>(interfaceData),
        reinterpret_cast<::SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail), detailSize, &required, NativeDevInfo(data));
    if (requiredSize != nullptr) *requiredSize = required;
    return ok != FALSE;
}

bool Win32System::IsWow64Process(Handle process, bool* wow64) {
    BOOL isWow64 = FALSE;
    BOOL ok = ::IsWow64Process(Native(process), &isWow64);
    if (wow64 != nullptr) *wow64 = ok != FALSE && isWow64 != FALSE;
    return ok != FALSE;
}

Module Win32System::GetModuleHandleA(const char* moduleName) {
    return ::GetModuleHandleA(moduleName);
}

ResourceInfo Win32System::FindResourceA(Module module, std::uint32_t id, const char* typeName) {
    return ::FindResourceA(static_cast<HMODULE>(module), MAKEINTRESOURCEA(id), typeName);
}

ResourceData Win32System::LoadResource(Module module, ResourceInfo info) {
    return ::LoadResource(static_cast<HMODULE>(module), static_cast<HRSRC>(info));
}

std::uint32_t Win32System::SizeofResource(Module module, ResourceInfo info) {
    return ::SizeofResource(static_cast<HMODULE>(module), static_cast<HRSRC>(info));
}

const void* Win32System::LockResource(ResourceData data) {
    return ::LockResource(static_cast<HGLOBAL>(data));
}

void Win32System::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

// The C runtime's clock counts wall-clock milliseconds since the program started.
std::int32_t Win32System::clock() { return static_cast<std::int32_t>(std::clock()); }

}  // namespace platform
