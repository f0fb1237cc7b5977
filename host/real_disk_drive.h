// A real removable USB disk behind a drive letter of the Linux backend
// (removable_disks.h chooses it). The Windows rules of its raw volume are
// the model's (winmodel/raw_volumes.h); this is what the disk adds:
//
// - real_disk_drive.cpp: each raw-volume handle opens the whole-disk block
//   node and sends its commands by SG_IO; the lock is an exclusive open of
//   the node (the kernel refuses it while any partition is mounted or
//   claimed, and refuses mounts while it is held), after the disk's safety
//   rule (sysfs_disks.h) is checked again; commands that can change the
//   medium need the lock;
// - real_disk_restart.cpp: the restart deletes the SCSI device through
//   sysfs and rescans its address on the host (BLKFLSBUF and BLKRRPART
//   when sysfs refuses), then waits for the disk to come back, whatever
//   name the kernel gives it now;
// - real_disk_files.cpp: files on the mounted volume go through the
//   kernel's FAT driver: the first partition is mounted in a private folder
//   while a file is open (or for one attribute change), then unmounted and
//   synced.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "host/sysfs_disks.h"
#include "winmodel/model_drive.h"

namespace platform {
class FatVolume;
}

namespace platform::host {

class FatMount;

class RealDiskDrive : public ModelDrive, public std::enable_shared_from_this<RealDiskDrive> {
public:
    // How long Restart waits for the disk to come back before it returns.
    static constexpr std::chrono::seconds kRestartWait{30};

    RealDiskDrive(SystemRoots roots, const BlockDisk& disk);
    ~RealDiskDrive() override;

    bool IsPresent() override;
    std::string InstanceId() const override { return instanceId_; }
    std::unique_ptr<ScsiTarget> OpenTarget(bool write, std::uint32_t* error) override;
    std::uint32_t TakeLock() override;
    void ReleaseLock() override;
    bool AllowedUnlocked(const ScsiRequest& request) const override;
    std::uint32_t Restart() override;
    std::shared_ptr<MountedVolume> Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) override;

    // The disk's current node ("/dev/sdb"); the name can change with a restart.
    std::string DevicePath() const;

    // The kernel's mount of the first partition, shared while it is used.
    std::shared_ptr<FatMount> AcquireMount(std::uint32_t* error);
    // The FAT volume of the first partition as its node reads now.
    std::shared_ptr<FatVolume> ReadPartitionVolume();

private:
    std::string NodePath(const std::string& name) const;

    const SystemRoots roots_;
    const std::string scsiAddress_;
    const std::string instanceId_;

    mutable std::mutex mutex_;
    std::string name_;  // "sdb"
    int lockFd_ = -1;
    std::weak_ptr<FatMount> mount_;
};

}  // namespace platform::host
