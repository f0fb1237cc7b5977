// The whole disks the kernel knows, read from sysfs, and the rule that says
// which of them may be written: a removable disk on the USB transport that
// holds no mounted file system, no swap area and nothing another block
// device is stacked on (device mapper, md), so also never the disk of the
// root file system.
//
// The folders are injectable so that tests read fake trees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::host {

struct SystemRoots {
    std::string sys = "/sys";
    std::string proc = "/proc";
    std::string dev = "/dev";
};

struct BlockPartition {
    std::string name;  // "sdb1"
    std::string dev;   // "8:17"
};

struct BlockDisk {
    std::string name;         // "sdb"
    std::string dev;          // "8:16"
    std::uint64_t sectors = 0;  // 512-byte units, as sysfs counts them
    bool removable = false;
    bool usb = false;         // the device sits below a USB interface
    std::string vendor;       // SCSI INQUIRY vendor, trimmed
    std::string model;        // SCSI INQUIRY product, trimmed
    std::string revision;     // SCSI INQUIRY revision, trimmed
    std::string scsiAddress;  // "host:channel:target:lun", empty when not SCSI
    std::string serial;       // the USB device's serial number, when it has one
    std::vector<BlockPartition> partitions;
    // Empty when the disk may be written; otherwise why not, for the operator.
    std::string refusal;
};

// Every disk under sys/block, sorted by name, each with its refusal set.
// *error is set (and the list empty) when sys/block cannot be read.
std::vector<BlockDisk> ScanBlockDisks(const SystemRoots& roots, std::string* error);

// The disk whose SCSI device has the address, or an empty name.
BlockDisk FindDiskByScsiAddress(const SystemRoots& roots, const std::string& scsiAddress);

}  // namespace platform::host
