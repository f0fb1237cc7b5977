#include "platform/system_services.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {
SystemServices* installedServices = nullptr;
}

SystemServices& Sys() {
    if (installedServices == nullptr) {
        std::fputs("internal error: no system services installed\n", stderr);
        std::abort();
    }
    return *installedServices;
}

void InstallSystemServices(SystemServices* services) { installedServices = services; }

// Calls a backend may not offer: they fail as a system without them would.
bool SystemServices::GetVolumeInformationA(const char*, char*, std::uint32_t, std::uint32_t*, std::uint32_t*,
                                           std::uint32_t*, char*, std::uint32_t) {
    return false;
}
Handle SystemServices::FindFirstFileA(const char*, WIN32_FIND_DATAA*) { return kInvalidHandle; }
bool SystemServices::FindNextFileA(Handle, WIN32_FIND_DATAA*) { return false; }
bool SystemServices::FindClose(Handle) { return false; }
bool SystemServices::SetupDiGetDeviceInstallParamsA(DevInfoSet, SP_DEVINFO_DATA*, SP_DEVINSTALL_PARAMS_A*) {
    return false;
}
bool SystemServices::SetupDiEnumDeviceInterfaces(DevInfoSet, SP_DEVINFO_DATA*, const GUID*, std::uint32_t,
                                                 SP_DEVICE_INTERFACE_DATA*) {
    return false;
}
bool SystemServices::SetupDiGetDeviceInterfaceDetailA(DevInfoSet, SP_DEVICE_INTERFACE_DATA*,
                                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A*, std::uint32_t,
                                                      std::uint32_t*, SP_DEVINFO_DATA*) {
    return false;
}
bool SystemServices::IsWow64Process(Handle, bool*) { return false; }

}  // namespace platform
