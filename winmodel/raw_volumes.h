// Drive letters with raw volumes behind them, as Windows presents them:
// opening "\\.\E:", the control calls on the handle (SCSI pass-through to
// the drive's target, volume lock and unlock, device number), closing, and
// the logical-drive queries. What stands behind a letter is a ModelDrive
// (model_drive.h). Part of the Windows model (windows_model.h). Thread-safe.
//
// Lock rules: FSCTL_LOCK_VOLUME fails while another handle is open on the
// volume, the program's own or another process's (Explorer, AutoPlay, an
// indexer or a virus scanner: HoldVolume, SetDesktopHolds); while a volume
// is locked no new handle can be opened on it; only the handle that holds
// the lock can unlock it, and closing that handle releases the lock. A
// drive may refuse a lock the rules allow (ModelDrive::TakeLock) and
// commands on a handle without the lock (ModelDrive::AllowedUnlocked).
//
// Rights: a process without elevation is refused every open for reading
// or writing of a raw volume or a physical disk (SetElevated).
//
// Mounted file systems: the volume's file system is mounted (from where
// the partition table read last puts the volume) when the drive is plugged
// in and whenever it is next used after a dismount, and kept as mounted,
// with everything it read, until FSCTL_DISMOUNT_VOLUME (which also ends
// other processes' handles) or a restart of the disk. The partition table
// is read when the disk starts and on IOCTL_DISK_UPDATE_PROPERTIES through
// a handle of the physical disk ("\.\PhysicalDriveN", or its interface
// path); when the volume's start has changed, the volume is replaced as a
// restart replaces it.
//
// Pass-through needs a handle opened for reading and writing; the request
// block is checked as Windows checks it (pass_through_target.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "winmodel/model_drive.h"
#include "winmodel/model_errors.h"

class EmulatedScsiDisk;

struct VolumeEvent {
    enum class Kind { Open, Close, Lock, Unlock, PassThrough, Dismount, UpdateProperties, OtherControl };
    Kind kind = Kind::Open;
    char letter = 0;
    platform::Handle handle = nullptr;
    std::uint32_t error = 0;  // 0: the call succeeded

    bool operator==(const VolumeEvent&) const = default;
};

class RawVolumes {
public:
    RawVolumes();
    ~RawVolumes();

    // Plugs a drive in, replacing one of the same letter (whose open handles
    // keep the old drive, now gone, and whose device number it takes over).
    // Letters are upper-cased.
    void AddDrive(char letter, std::uint32_t driveType, std::shared_ptr<platform::ModelDrive> drive);
    // The same with an emulated disk (or none) behind the volume.
    void AddDrive(char letter, std::uint32_t driveType, std::shared_ptr<EmulatedScsiDisk> disk);
    // Plugs the letter's drive in again, as a restart does: handles of the
    // drive as it was fail from now on, its lock is gone; the drive keeps
    // its type and device number. False when no drive has the letter.
    bool Replug(char letter);
    // False when no drive had the letter.
    bool RemoveDrive(char letter);
    std::shared_ptr<platform::ModelDrive> Drive(char letter) const;
    // The emulated disk behind the letter (null for other kinds of drive).
    std::shared_ptr<EmulatedScsiDisk> Disk(char letter) const;
    // The number IOCTL_STORAGE_GET_DEVICE_NUMBER reports; drives are numbered
    // 1, 2, ... in the order they were added unless set here.
    void SetDeviceNumber(char letter, std::uint32_t deviceNumber);
    std::optional<std::uint32_t> DeviceNumber(char letter) const;
    // Which plugging-in of the letter's drive is current (0: none); a
    // restart or a new drive changes it.
    std::uint64_t Plugging(char letter) const;
    // Plugged in, and its disk there (not away in a restart).
    bool IsPresent(char letter) const;

    // True when the path names a raw volume ("\\.\E:", any case) or a
    // physical disk by number ("\\.\PhysicalDrive1").
    static bool IsVolumePath(const char* path);
    static bool IsPhysicalDiskPath(const char* path);
    platform::Handle Open(const char* path, std::uint32_t access, std::uint32_t* error);
    // A handle of the physical disk behind the letter (its interface path
    // opened, or "\\.\PhysicalDriveN").
    platform::Handle OpenDisk(char letter, std::uint32_t access, std::uint32_t* error);
    bool IsVolumeHandle(platform::Handle handle) const;
    // The letter the handle was opened on (0 for no volume handle).
    char LetterOf(platform::Handle handle) const;
    bool Close(platform::Handle handle, std::uint32_t* error);
    bool Control(platform::Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned,
                 std::uint32_t* error);

    std::uint32_t GetLogicalDriveStrings(std::uint32_t bufferLength, char* buffer) const;
    std::uint32_t GetDriveType(const char* rootPath) const;

    // The file system mounted on the letter's volume, mounted now if it is
    // not; null with *error set when the volume is locked or holds none.
    std::shared_ptr<platform::MountedVolume> Mounted(char letter, std::uint32_t* error);
    // Where the partition table read last puts the letter's volume.
    std::optional<std::uint32_t> VolumeStart(char letter) const;

    // Whether the process runs elevated (the default).
    void SetElevated(bool elevated);
    bool Elevated() const;
    // Another process opens the letter's volume and keeps it open until a
    // dismount or a restart ends its handle.
    void HoldVolume(char letter);
    // The other processes close their handles of the letter's volume.
    void LetGoOfVolume(char letter);
    // A desktop that opens the volume whenever it is there and unlocked:
    // at once, after every unlock and after every restart.
    void SetDesktopHolds(char letter, bool holds);
    std::size_t ForeignHandleCount(char letter) const;

    // Fault injection: the occurrence-th (1 = the next) open of the letter's
    // volume, or control call with the code on a handle of that letter,
    // fails with the error. occurrence 0 fails every such call.
    void FailOpen(char letter, std::uint32_t error, unsigned occurrence = 1);
    void FailControl(char letter, std::uint32_t code, std::uint32_t error, unsigned occurrence = 1);
    void ClearCallFaults();

    // Accounting for tests.
    std::size_t OpenHandleCount() const;
    std::size_t InvalidCloseCount() const;  // closes of handles that were not open
    bool IsLocked(char letter) const;
    std::vector<VolumeEvent> Events() const;
    void ClearEvents();

private:
    struct Entry;
    struct OpenVolume {
        std::shared_ptr<Entry> entry;
        bool canRead = false;
        bool canWrite = false;
        std::shared_ptr<ScsiTarget> target;  // null: no disk behind the volume
        bool physicalDisk = false;           // a handle of the disk, not of its volume
    };
    struct CallFault {
        char letter;
        std::optional<std::uint32_t> code;  // empty: the open
        std::uint32_t error;
        unsigned remaining;  // calls to let pass before failing; 0 = this one
        bool every;
    };

    void PlugLocked(char letter, std::uint32_t driveType, std::shared_ptr<platform::ModelDrive> drive,
                    std::optional<std::uint32_t> deviceNumber);
    static void Retire(Entry& entry);
    const Entry* FindLocked(char letter) const;
    bool TakeCallFault(char letter, std::optional<std::uint32_t> code, std::uint32_t* error);
    void Record(VolumeEvent::Kind kind, char letter, platform::Handle handle, std::uint32_t error);
    std::uint32_t LockOrUnlock(platform::Handle handle, OpenVolume& volume, bool lock);
    std::uint32_t PassThrough(std::unique_lock<std::mutex>& lock, platform::Handle handle,
                              OpenVolume& volume, void* in, std::uint32_t inSize, void* out,
                              std::uint32_t outSize, std::uint32_t* bytesReturned);
    std::uint32_t ReportDeviceNumber(const OpenVolume& volume, void* out, std::uint32_t outSize,
                                     std::uint32_t* bytesReturned);
    std::uint32_t Dismount(platform::Handle handle, Entry& entry);
    std::uint32_t UpdateProperties(const Entry& entry);
    platform::Handle AddHandle(const std::shared_ptr<Entry>& entry, std::uint32_t access,
                               std::shared_ptr<ScsiTarget> target, bool physicalDisk);
    // The desktop opens the volume again when it is free for it.
    void DesktopReopens(Entry& entry);

    mutable std::mutex mutex_;
    std::map<char, std::shared_ptr<Entry>> entries_;
    std::map<platform::Handle, OpenVolume> handles_;
    std::vector<CallFault> callFaults_;
    std::vector<VolumeEvent> events_;
    std::size_t nextHandle_ = 1;
    std::uint32_t nextDeviceNumber_ = 1;
    std::uint64_t nextPlugging_ = 1;
    std::size_t invalidCloses_ = 0;
    bool elevated_ = true;
    std::vector<char> desktopHolds_;
};
