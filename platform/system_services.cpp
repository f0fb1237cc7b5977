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

}  // namespace platform
