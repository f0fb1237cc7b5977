// The calls the simulated PC does not model yet. Each fails the way the
// real call reports a failure, so that callers take their error paths.
#include "platform/sim/sim_last_error.h"
#include "platform/sim/sim_system.h"

namespace platform {

bool SimSystem::WriteFile(Handle, const void*, std::uint32_t, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    return sim::Fail(ERROR_INVALID_HANDLE, false);
}

bool SimSystem::SetFileAttributesA(const char*, std::uint32_t) {
    return sim::Fail(ERROR_FILE_NOT_FOUND, false);
}

long SimSystem::RegOpenKeyExA(RegKey, const char*, std::uint32_t, std::uint32_t, RegKey* result) {
    if (result != nullptr) *result = nullptr;
    return ERROR_FILE_NOT_FOUND;
}

long SimSystem::RegQueryValueExA(RegKey, const char*, std::uint32_t*, std::uint8_t*,
                                 std::uint32_t*) {
    return ERROR_INVALID_HANDLE;
}

long SimSystem::RegCloseKey(RegKey) { return ERROR_INVALID_HANDLE; }

DevInfoSet SimSystem::SetupDiGetClassDevsA(const GUID*, const char*, void*, std::uint32_t) {
    return sim::Fail(ERROR_NOT_SUPPORTED, static_cast<DevInfoSet>(kInvalidHandle));
}

bool SimSystem::SetupDiEnumDeviceInfo(DevInfoSet, std::uint32_t, SP_DEVINFO_DATA*) {
    return sim::Fail(ERROR_NO_MORE_ITEMS, false);
}

bool SimSystem::SetupDiSetClassInstallParamsA(DevInfoSet, SP_DEVINFO_DATA*,
                                              SP_CLASSINSTALL_HEADER*, std::uint32_t) {
    return sim::Fail(ERROR_NOT_SUPPORTED, false);
}

bool SimSystem::SetupDiCallClassInstaller(std::uint32_t, DevInfoSet, SP_DEVINFO_DATA*) {
    return sim::Fail(ERROR_NOT_SUPPORTED, false);
}

bool SimSystem::SetupDiDestroyDeviceInfoList(DevInfoSet) {
    return sim::Fail(ERROR_INVALID_HANDLE, false);
}

namespace {
constexpr std::uint32_t kCrNoSuchDevnode = 0x0D;  // CR_NO_SUCH_DEVNODE
}

std::uint32_t SimSystem::CM_Get_DevNode_Status(std::uint32_t* status, std::uint32_t* problem,
                                               DEVINST, std::uint32_t) {
    if (status != nullptr) *status = 0;
    if (problem != nullptr) *problem = 0;
    return kCrNoSuchDevnode;
}

std::uint32_t SimSystem::CM_Get_Device_IDA(DEVINST, char* buffer, std::uint32_t bufferLength,
                                           std::uint32_t) {
    if (buffer != nullptr && bufferLength > 0) buffer[0] = '\0';
    return kCrNoSuchDevnode;
}

Module SimSystem::GetModuleHandleA(const char*) { return nullptr; }

ResourceInfo SimSystem::FindResourceA(Module, std::uint32_t, const char*) {
    return sim::Fail(ERROR_NOT_SUPPORTED, static_cast<ResourceInfo>(nullptr));
}

ResourceData SimSystem::LoadResource(Module, ResourceInfo) {
    return sim::Fail(ERROR_NOT_SUPPORTED, static_cast<ResourceData>(nullptr));
}

std::uint32_t SimSystem::SizeofResource(Module, ResourceInfo) {
    return sim::Fail(ERROR_NOT_SUPPORTED, 0u);
}

const void* SimSystem::LockResource(ResourceData) { return nullptr; }

}  // namespace platform
