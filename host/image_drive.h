// An image file as a removable drive: an emulated SCSI disk over the file
// behind its raw volume; a restart closes the disk and attaches the held
// file afresh, the drive being away for a moment; the mounted volume's files are
// written into the image's FAT with mtools when they are closed, at the
// volume's start as the partition table read last put it; its label,
// serial number and root directory are read from the image at that start.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "host/leftovers.h"
#include "winmodel/emulated_disk_drive.h"

namespace platform::host {

class ImageDrive : public EmulatedDiskDrive, public std::enable_shared_from_this<ImageDrive> {
public:
    // How long the drive is away after a restart.
    static constexpr std::chrono::milliseconds kAwayAfterRestart{300};

    // Null when the file cannot be opened for reading and writing.
    static std::shared_ptr<ImageDrive> Open(const std::string& path);
    // The image file open on descriptor (for reading and writing), path
    // only naming it in messages. The drive keeps a copy of the descriptor
    // for as long as it lives: a restart attaches that same file again and
    // mtools is given it, so that a path that comes to name another file
    // changes nothing. Null with *error (the system's reason) when it
    // cannot be used.
    static std::shared_ptr<ImageDrive> Adopt(int descriptor, const std::string& path, std::string* error);
    ~ImageDrive() override;

    const std::string& Path() const { return path_; }

    bool IsPresent() override;
    std::string InstanceId() const override;
    std::uint32_t Restart() override;
    // The FAT volume on the image at the volume's start;
    // ERROR_UNRECOGNIZED_VOLUME when it holds none there.
    std::shared_ptr<MountedVolume> Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) override;

    // Copies the bytes into the volume at the offset as the root file name,
    // and gives a root file its attributes. Return 0 or the error.
    std::uint32_t CommitFile(std::uint64_t offset, const std::string& name, const std::string& bytes);
    std::uint32_t SetFileAttributes(std::uint64_t offset, const std::string& name, std::uint32_t attributes);

private:
    ImageDrive(std::string path, int descriptor, unsigned serial, std::shared_ptr<EmulatedScsiDisk> disk);
    // A disk over a copy of the held descriptor.
    std::shared_ptr<EmulatedScsiDisk> OpenDisk() const;

    const std::string path_;
    const int descriptor_;  // the image, held for as long as the drive lives
    const unsigned serial_;  // tells the instance IDs of two image drives apart
    mutable std::mutex mutex_;
    std::chrono::steady_clock::time_point backAt_{};
    std::mutex toolMutex_;  // one mtools run at a time on the image
    std::string scratchDir_;
    Leftover scratchLeftover_;  // the scratch folder, for a make that must end at once
};

}  // namespace platform::host
