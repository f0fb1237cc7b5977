// A drive with an emulated SCSI disk behind its raw volume (a disk in
// memory, or an image file's): every handle sends its commands to the disk,
// the partition table is read from the disk, and the volume's file system
// is a FatVolume (fat_volume.h) on it. Kinds of drive that add a restart
// or another way to their files derive from it.
#pragma once

#include <memory>
#include <mutex>

#include "winmodel/fat_volume.h"
#include "winmodel/model_drive.h"

class EmulatedScsiDisk;

namespace platform {

class EmulatedDiskDrive : public ModelDrive {
public:
    // A drive without a disk (a fixed disk or a CD drive of a scenario)
    // has volumes that refuse pass-through.
    explicit EmulatedDiskDrive(std::shared_ptr<EmulatedScsiDisk> disk);

    std::shared_ptr<EmulatedScsiDisk> Disk() const;

    std::unique_ptr<ScsiTarget> OpenTarget(bool write, std::uint32_t* error) override;
    std::optional<std::uint32_t> ReadVolumeStart() override;
    // The FAT file system at the volume's start (ERROR_UNRECOGNIZED_VOLUME
    // without a disk, a start or a FAT boot sector there).
    std::shared_ptr<MountedVolume> Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) override;

    // Sector access to the disk as it is now, for a file system on it.
    static SectorIo DiskSectors(std::shared_ptr<EmulatedScsiDisk> disk);

protected:
    // A restart that attaches the medium afresh puts the new disk here.
    void SetDisk(std::shared_ptr<EmulatedScsiDisk> disk);

private:
    mutable std::mutex mutex_;
    std::shared_ptr<EmulatedScsiDisk> disk_;
};

}  // namespace platform
