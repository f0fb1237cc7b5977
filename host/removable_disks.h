// Real removable disks for the command line: what `makevorndisk --list`
// shows and what `--device /dev/sdX` attaches as a drive letter (a
// RealDiskDrive, real_disk_drive.h), chosen over sysfs (sysfs_disks.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/sysfs_disks.h"
#include "winmodel/model_drive.h"

namespace platform::host {

struct RemovableDisk {
    std::string devicePath;  // "/dev/sdb"
    std::uint64_t sizeBytes = 0;
    std::string vendor;
    std::string model;
    std::string refusal;  // why it may not be written (left-out disks only)
};

struct RemovableDiskList {
    std::vector<RemovableDisk> disks;
    // The removable or USB disks left out, each with its refusal, so that
    // the operator learns why a stick is missing from the list.
    std::vector<RemovableDisk> leftOut;
    std::string error;  // empty when the list could be read
};

// The removable USB disks that may be written: never a disk that is not
// removable, holds the root file system, or has a mounted partition.
RemovableDiskList ListRemovableDisks(const SystemRoots& roots = {});

// The disk at devicePath as a drive for HostSystem::AttachDrive, or null
// with *error saying why it cannot be used (not listed by
// ListRemovableDisks, a partition, no permission, ...).
std::shared_ptr<ModelDrive> OpenRemovableDisk(const SystemRoots& roots, const std::string& devicePath,
                                              std::string* error);
inline std::shared_ptr<ModelDrive> OpenRemovableDisk(const std::string& devicePath, std::string* error) {
    return OpenRemovableDisk(SystemRoots{}, devicePath, error);
}

// The device instance ID Windows would give the disk
// ("USBSTOR\DISK&VEN_VENDOR&PROD_MODEL&REV_1.00\SERIAL").
std::string DiskInstanceId(const BlockDisk& disk);

}  // namespace platform::host
