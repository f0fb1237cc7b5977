// What stands behind a drive letter of the Windows model (windows_model.h):
// an emulated disk in memory, an image file, a real disk through SG_IO. The
// model keeps the Windows rules (handles, the volume lock, the pass-through
// checks, the device list and its restart, the file names of a mounted
// volume); a drive only says what its kind of disk does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "winmodel/scsi_target.h"

namespace platform {

// What GetVolumeInformationA reports of a mounted file system.
struct VolumeInformation {
    std::string label;  // without the blanks that pad it
    std::uint32_t serialNumber = 0;
    std::string fileSystem;  // "FAT", "FAT32"
};

// One file of a root directory, as FindFirstFileA reports it.
struct DirectoryEntry {
    std::string name;       // as the system shows it ("VORN.exe")
    std::string shortName;  // the 8.3 name as stored ("VORN.EXE")
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;
};

// A file being written on a mounted volume, created new or truncated.
class MountedFile {
public:
    // Destroying an unclosed file abandons what was written.
    virtual ~MountedFile() = default;
    // Appends the bytes. Returns 0 or the error.
    virtual std::uint32_t Write(const void* data, std::uint32_t size) = 0;
    // Makes the file whole on the volume. Returns 0 or the error; either way
    // the file is closed.
    virtual std::uint32_t Close() = 0;
};

// The file system mounted on a drive's volume. Names reaching it are plain
// root names ("IO.SYS"), checked by the model.
class MountedVolume {
public:
    virtual ~MountedVolume() = default;
    // The file, created new (with the archive attribute) or truncated.
    // Null with *error set when it cannot be.
    virtual std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) = 0;
    // Gives the file exactly these attributes (FILE_ATTRIBUTE_READONLY,
    // _HIDDEN, _SYSTEM, _ARCHIVE). Returns 0 or the error.
    virtual std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) = 0;
    // The attributes of an existing file; empty when there is none or the
    // volume cannot tell.
    virtual std::optional<std::uint32_t> Attributes(const std::string&) { return std::nullopt; }
    // Label, serial number and name of the file system; the files of its
    // root directory. Empty when they cannot be read.
    virtual std::optional<VolumeInformation> Information() = 0;
    virtual std::optional<std::vector<DirectoryEntry>> ListRoot() = 0;
};

class ModelDrive {
public:
    virtual ~ModelDrive() = default;

    // False while the disk is away (during and just after a restart).
    virtual bool IsPresent() { return true; }
    // The disk's device instance ID, in capitals, for the device list and
    // the registry (empty when the drive is no disk device).
    virtual std::string InstanceId() const { return {}; }

    // The drive's side of one raw-volume handle, where its SCSI commands go.
    // Null with *error set when it cannot be opened; null with *error 0
    // when the drive has no disk to talk to (pass-through is then
    // ERROR_NOT_SUPPORTED).
    virtual std::unique_ptr<ScsiTarget> OpenTarget(bool write, std::uint32_t* error) = 0;
    // Called once the model's lock rules give a handle the lock: 0, or the
    // error that refuses it after all. ReleaseLock follows every granted lock.
    virtual std::uint32_t TakeLock() { return 0; }
    virtual void ReleaseLock() {}
    // Whether a handle that does not hold the lock may send the command.
    virtual bool AllowedUnlocked(const ScsiRequest&) const { return true; }

    // Takes the disk away and lets it come back, so that what was written
    // to it is read afresh. The model has already cut off the handles of
    // the disk as it was. Returns 0 when the restart was carried out.
    virtual std::uint32_t Restart() { return 0; }

    // Reads the disk's partition table, as the system does when the disk
    // starts and when it is told to (IOCTL_DISK_UPDATE_PROPERTIES): the
    // first sector of the volume behind the letter. Empty when the disk
    // cannot be read, or the drive's system keeps its own partition table.
    virtual std::optional<std::uint32_t> ReadVolumeStart() { return std::nullopt; }

    // Mounts the file system of the volume, which starts where the
    // partition table read last put it (empty: where the drive's system
    // has it); null with *error set when the volume holds none. The model
    // keeps the mounted volume until the volume is dismounted or the disk
    // restarts.
    virtual std::shared_ptr<MountedVolume> Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) = 0;
};

}  // namespace platform
