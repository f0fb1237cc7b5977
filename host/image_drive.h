// An image file as a removable drive: its raw volume has an emulated SCSI
// disk over the file (the lock rules of EmulatedVolumes), a restart closes
// the file and attaches it afresh, the drive being away for a moment, and
// the mounted volume's files are written into the image's FAT with mtools
// when they are closed.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "host/host_drive.h"
#include "winmodel/emulated_volumes.h"

class EmulatedScsiDisk;

namespace platform::host {

class ImageDrive : public HostDrive, public std::enable_shared_from_this<ImageDrive> {
public:
    // How long the drive is away after a restart.
    static constexpr std::chrono::milliseconds kAwayAfterRestart{300};

    // Null when the file cannot be opened for reading and writing.
    static std::shared_ptr<ImageDrive> Open(const std::string& path);
    ~ImageDrive() override;

    const std::string& Path() const { return path_; }
    std::shared_ptr<EmulatedScsiDisk> Disk() const;

    // HostDrive
    bool IsPresent() override;
    std::string InstanceId() const override;
    std::unique_ptr<HostVolume> OpenVolume(std::uint32_t access, std::uint32_t* error) override;
    std::uint32_t Restart() override;
    std::unique_ptr<MountedFile> CreateMountedFile(const std::string& name, std::uint32_t* error) override;
    std::uint32_t SetMountedFileAttributes(const std::string& name, std::uint32_t attributes) override;

private:
    class Volume;
    class File;

    ImageDrive(std::string path, unsigned serial);
    std::shared_ptr<EmulatedScsiDisk> AttachDisk();
    // The byte offset of the FAT volume the system would mount; false when
    // the disk holds none.
    bool MountedVolumeOffset(std::uint64_t* offset);
    std::uint32_t CommitFile(std::uint64_t generation, const std::string& name, const std::string& bytes);

    const std::string path_;
    const unsigned serial_;  // tells the instance IDs of two image drives apart
    mutable std::mutex mutex_;
    EmulatedVolumes volumes_;  // the one volume of this drive
    std::uint64_t generation_ = 0;  // attaches so far: old handles and files fail
    std::chrono::steady_clock::time_point backAt_{};
    std::mutex toolMutex_;  // one mtools run at a time on the image
    std::string scratchDir_;
};

}  // namespace platform::host
