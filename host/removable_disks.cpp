// The removable disks of this machine: sysfs, procfs and /dev at their usual
// places (real_disk_drive.h).
#include "host/removable_disks.h"

#include "host/real_disk_drive.h"

namespace platform::host {

RemovableDiskList ListRemovableDisks() { return ListRemovableDisks(SystemRoots{}); }

std::unique_ptr<HostDrive> OpenRemovableDisk(const std::string& devicePath, std::string* error) {
    std::string ignored;
    return OpenRemovableDisk(SystemRoots{}, devicePath, error != nullptr ? error : &ignored);
}

}  // namespace platform::host
