#include "winmodel/emulated_disk_drive.h"

#include "winmodel/emulated_scsi_disk.h"
#include "winmodel/model_errors.h"

namespace platform {

namespace {

// One handle's way to the disk: the disk it was opened on.
class DiskTarget : public ScsiTarget {
public:
    explicit DiskTarget(std::shared_ptr<EmulatedScsiDisk> disk) : disk_(std::move(disk)) {}
    ScsiOutcome Execute(const ScsiRequest& request) override { return disk_->Execute(request); }

private:
    std::shared_ptr<EmulatedScsiDisk> disk_;
};

}  // namespace

EmulatedDiskDrive::EmulatedDiskDrive(std::shared_ptr<EmulatedScsiDisk> disk) : disk_(std::move(disk)) {}

std::shared_ptr<EmulatedScsiDisk> EmulatedDiskDrive::Disk() const {
    std::lock_guard lock(mutex_);
    return disk_;
}

void EmulatedDiskDrive::SetDisk(std::shared_ptr<EmulatedScsiDisk> disk) {
    std::lock_guard lock(mutex_);
    disk_ = std::move(disk);
}

std::unique_ptr<ScsiTarget> EmulatedDiskDrive::OpenTarget(bool, std::uint32_t* error) {
    *error = 0;
    std::shared_ptr<EmulatedScsiDisk> disk = Disk();
    if (disk == nullptr) return nullptr;
    return std::make_unique<DiskTarget>(std::move(disk));
}

std::shared_ptr<MountedVolume> EmulatedDiskDrive::Mount(std::uint32_t* error) {
    *error = kErrorUnrecognizedVolume;
    return nullptr;
}

}  // namespace platform
