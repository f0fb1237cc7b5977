// The calls the Linux backend does not offer yet. Each fails the way the
// real call reports a failure, so that callers take their error paths.
#include "platform/host/host_system.h"

namespace platform {

namespace {
template <typename Result>
Result Fail(std::uint32_t error, Result result) {
    host::SetThreadLastError(error);
    return result;
}
}  // namespace

bool HostSystem::WriteFile(Handle, const void*, std::uint32_t, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    return Fail(ERROR_INVALID_HANDLE, false);
}

bool HostSystem::SetFileAttributesA(const char*, std::uint32_t) {
    return Fail(ERROR_FILE_NOT_FOUND, false);
}

long HostSystem::RegOpenKeyExA(RegKey, const char*, std::uint32_t, std::uint32_t, RegKey* result) {
    if (result != nullptr) *result = nullptr;
    return ERROR_FILE_NOT_FOUND;
}

long HostSystem::RegQueryValueExA(RegKey, const char*, std::uint32_t*, std::uint8_t*,
                                 std::uint32_t*) {
    return ERROR_INVALID_HANDLE;
}

long HostSystem::RegCloseKey(RegKey) { return ERROR_INVALID_HANDLE; }

DevInfoSet HostSystem::SetupDiGetClassDevsA(const GUID*, const char*, void*, std::uint32_t) {
    return Fail(ERROR_NOT_SUPPORTED, static_cast<DevInfoSet>(kInvalidHandle));
}

bool HostSystem::SetupDiEnumDeviceInfo(DevInfoSet, std::uint32_t, SP_DEVINFO_DATA*) {
    return Fail(ERROR_NO_MORE_ITEMS, false);
}

bool HostSystem::SetupDiSetClassInstallParamsA(DevInfoSet, SP_DEVINFO_DATA*,
                                              SP_CLASSINSTALL_HEADER*, std::uint32_t) {
    return Fail(ERROR_NOT_SUPPORTED, false);
}

bool HostSystem::SetupDiCallClassInstaller(std::uint32_t, DevInfoSet, SP_DEVINFO_DATA*) {
    return Fail(ERROR_NOT_SUPPORTED, false);
}

bool HostSystem::SetupDiDestroyDeviceInfoList(DevInfoSet) {
    return Fail(ERROR_INVALID_HANDLE, false);
}

namespace {
constexpr std::uint32_t kCrNoSuchDevnode = 0x0D;  // CR_NO_SUCH_DEVNODE
}

std::uint32_t HostSystem::CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem,
                                               DEVINST, std::uint32_t) {
    if (status != nullptr) *status = 0;
    if (problem != nullptr) *problem = 0;
    return kCrNoSuchDevnode;
}

std::uint32_t HostSystem::CM_Get_Device_IDA(DEVINST, char* buffer, std::uint32_t bufferLength,
                                           std::uint32_t) {
    if (buffer != nullptr && bufferLength > 0) buffer[0] = '\0';
    return kCrNoSuchDevnode;
}

Module HostSystem::GetModuleHandleA(const char*) { return nullptr; }

ResourceInfo HostSystem::FindResourceA(Module, std::uint32_t, const char*) {
    return Fail(ERROR_NOT_SUPPORTED, static_cast<ResourceInfo>(nullptr));
}

ResourceData HostSystem::LoadResource(Module, ResourceInfo) {
    return Fail(ERROR_NOT_SUPPORTED, static_cast<ResourceData>(nullptr));
}

std::uint32_t HostSystem::SizeofResource(Module, ResourceInfo) {
    return Fail(ERROR_NOT_SUPPORTED, 0u);
}

const void* HostSystem::LockResource(ResourceData) { return nullptr; }

}  // namespace platform
