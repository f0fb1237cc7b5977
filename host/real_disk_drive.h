// A real removable USB disk as a drive letter of the Linux backend.
//
// - The raw volume is the whole-disk block node; SCSI commands go to it by
//   SG_IO. Commands that can change the medium are refused unless the handle
//   holds the volume lock.
// - The lock is an exclusive open of the block node: the kernel refuses it
//   while any partition is mounted or claimed, and refuses mounts while it
//   is held. The disk's safety rule (sysfs_disks.h) is checked again first.
// - The restart deletes the SCSI device through sysfs and rescans its
//   address on the host (BLKFLSBUF and BLKRRPART when sysfs refuses), then
//   waits for the disk to come back, whatever name the kernel gives it now.
// - Files on the mounted volume go through the kernel's FAT driver: the
//   first partition is mounted in a private folder while a file is open
//   (or for one attribute change), then unmounted and synced.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_drive.h"
#include "host/removable_disks.h"
#include "host/sysfs_disks.h"

namespace platform::host {

class FatMount;

class RealDiskDrive : public HostDrive {
public:
    RealDiskDrive(SystemRoots roots, const BlockDisk& disk);
    ~RealDiskDrive() override;

    bool IsPresent() override;
    std::string InstanceId() const override { return instanceId_; }
    std::unique_ptr<HostVolume> OpenVolume(std::uint32_t access, std::uint32_t* error) override;
    std::uint32_t Restart() override;
    std::unique_ptr<MountedFile> CreateMountedFile(const std::string& name,
                                                   std::uint32_t* error) override;
    std::uint32_t SetMountedFileAttributes(const std::string& name,
                                           std::uint32_t attributes) override;

    // The disk's current node ("/dev/sdb"); the name can change with a restart.
    std::string DevicePath() const;
    // How long Restart waits for the disk to come back before it returns.
    void SetRestartWait(std::chrono::milliseconds wait) { restartWait_ = wait; }

private:
    class Volume;
    class File;

    std::uint32_t TakeLock(const Volume* volume);
    std::uint32_t ReleaseLock(const Volume* volume);
    void VolumeClosed(const Volume* volume, unsigned generation);
    bool Current(unsigned generation) const;
    std::shared_ptr<FatMount> AcquireMount(std::uint32_t* error);
    std::string FindPartitionNode() const;

    const SystemRoots roots_;
    const std::string scsiAddress_;
    const std::string instanceId_;
    std::chrono::milliseconds restartWait_{std::chrono::seconds(30)};

    mutable std::mutex mutex_;
    std::string name_;        // "sdb"
    unsigned generation_ = 0;  // one more with every restart: older handles are gone
    std::size_t openVolumes_ = 0;
    const Volume* lockedBy_ = nullptr;
    int lockFd_ = -1;
    std::weak_ptr<FatMount> mount_;
};

// The removable disks ListRemovableDisks and OpenRemovableDisk see, below
// the given roots.
RemovableDiskList ListRemovableDisks(const SystemRoots& roots);
std::unique_ptr<HostDrive> OpenRemovableDisk(const SystemRoots& roots, const std::string& devicePath,
                                             std::string* error);

// The device instance ID Windows would give the disk
// ("USBSTOR\DISK&VEN_VENDOR&PROD_MODEL&REV_1.00\SERIAL").
std::string DiskInstanceId(const BlockDisk& disk);

}  // namespace platform::host
