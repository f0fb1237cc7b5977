#include "winmodel/emulated_disk_drive.h"

#include "winmodel/emulated_scsi_disk.h"
#include "winmodel/fat_volume_start.h"
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

SectorIo EmulatedDiskDrive::DiskSectors(std::shared_ptr<EmulatedScsiDisk> disk) {
    return [disk = std::move(disk)](std::uint64_t lba, std::uint8_t* data, std::uint32_t count, bool write) {
        const std::uint64_t offset = lba * scsi::kSectorSize;
        const std::size_t bytes = std::size_t{count} * scsi::kSectorSize;
        return write ? disk->WriteBytes(offset, data, bytes) : disk->ReadBytes(offset, data, bytes);
    };
}

std::optional<std::uint32_t> EmulatedDiskDrive::ReadVolumeStart() {
    std::shared_ptr<EmulatedScsiDisk> disk = Disk();
    if (disk == nullptr) return std::nullopt;
    return ReadVolumeStartFromDisk([&](std::uint32_t lba, std::uint8_t* sector) {
        return disk->ReadBytes(std::uint64_t{lba} * scsi::kSectorSize, sector, scsi::kSectorSize);
    });
}

std::shared_ptr<MountedVolume> EmulatedDiskDrive::Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) {
    std::shared_ptr<EmulatedScsiDisk> disk = Disk();
    if (disk == nullptr || !volumeStart) {
        *error = kErrorUnrecognizedVolume;
        return nullptr;
    }
    return FatVolume::Mount(DiskSectors(std::move(disk)), *volumeStart, error);
}

}  // namespace platform
