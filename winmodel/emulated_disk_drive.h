// A drive with an emulated SCSI disk behind its raw volume (a disk in
// memory, or an image file's): every handle sends its commands to the disk.
// Kinds of drive that add a restart or a mounted volume derive from it.
#pragma once

#include <memory>
#include <mutex>

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
    // No file system the model can reach: ERROR_UNRECOGNIZED_VOLUME.
    std::shared_ptr<MountedVolume> Mount(std::uint32_t* error) override;

protected:
    // A restart that attaches the medium afresh puts the new disk here.
    void SetDisk(std::shared_ptr<EmulatedScsiDisk> disk);

private:
    mutable std::mutex mutex_;
    std::shared_ptr<EmulatedScsiDisk> disk_;
};

}  // namespace platform
