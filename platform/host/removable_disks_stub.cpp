// Placeholder until the real-disk implementation is built: no removable
// disk can be listed or opened.
#include "platform/host/removable_disks.h"

namespace platform::host {

namespace {
constexpr const char* kNotAvailable = "real USB disks are not supported by this build yet";
}

RemovableDiskList ListRemovableDisks() { return RemovableDiskList{{}, kNotAvailable}; }

std::unique_ptr<HostDrive> OpenRemovableDisk(const std::string&, std::string* error) {
    if (error != nullptr) *error = kNotAvailable;
    return nullptr;
}

}  // namespace platform::host
