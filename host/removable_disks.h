// Real removable disks for the command line: what `makevorndisk --list`
// shows and what `--device /dev/sdX` attaches as a drive letter.
//
// Implemented by removable_disks.cpp over sysfs (sysfs_disks.h) with
// RealDiskDrive (real_disk_drive.h) as the drive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_drive.h"

namespace platform::host {

struct RemovableDisk {
    std::string devicePath;  // "/dev/sdb"
    std::uint64_t sizeBytes = 0;
    std::string vendor;
    std::string model;
};

struct RemovableDiskList {
    std::vector<RemovableDisk> disks;
    std::string error;  // empty when the list could be read
};

// The removable USB disks that may be written: never a disk that is not
// removable, holds the root file system, or has a mounted partition.
RemovableDiskList ListRemovableDisks();

// The disk at devicePath as a drive for HostSystem::AttachDrive, or null
// with *error saying why it cannot be used (not listed by
// ListRemovableDisks, no permission, ...).
std::unique_ptr<HostDrive> OpenRemovableDisk(const std::string& devicePath, std::string* error);

}  // namespace platform::host
