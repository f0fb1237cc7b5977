// Drive letters with raw volumes behind them, as Windows presents them:
// opening "\\.\E:", the control calls on the handle (SCSI pass-through to
// the drive's emulated disk, volume lock and unlock, device number), closing,
// and the logical-drive queries. Shared by the simulated PC and the Linux
// image-file backend. Thread-safe.
//
// Lock rules: FSCTL_LOCK_VOLUME fails while another handle is open on the
// volume; while a volume is locked no new handle can be opened on it; only
// the handle that holds the lock can unlock it, and closing that handle
// releases the lock.
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

class EmulatedScsiDisk;

// Error codes of the volume calls that win_types.h does not list.
inline constexpr std::uint32_t kErrorNotLocked = 158;             // ERROR_NOT_LOCKED
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;   // ERROR_DEVICE_NOT_CONNECTED

struct VolumeEvent {
    enum class Kind { Open, Close, Lock, Unlock, PassThrough, OtherControl };
    Kind kind = Kind::Open;
    char letter = 0;
    platform::Handle handle = nullptr;
    std::uint32_t error = 0;  // 0: the call succeeded

    bool operator==(const VolumeEvent&) const = default;
};

class EmulatedVolumes {
public:
    EmulatedVolumes();
    ~EmulatedVolumes();

    // Plugs a drive in, replacing one of the same letter (whose open handles
    // keep the old drive, now gone). Letters are upper-cased.
    void AddDrive(char letter, std::uint32_t driveType, std::shared_ptr<EmulatedScsiDisk> disk);
    // False when no drive had the letter.
    bool RemoveDrive(char letter);
    std::shared_ptr<EmulatedScsiDisk> Disk(char letter) const;
    // The number IOCTL_STORAGE_GET_DEVICE_NUMBER reports; drives are numbered
    // 1, 2, ... in the order they were added unless set here.
    void SetDeviceNumber(char letter, std::uint32_t deviceNumber);

    // True when the path names a raw volume ("\\.\E:", any case).
    static bool IsVolumePath(const char* path);
    platform::Handle Open(const char* path, std::uint32_t access, std::uint32_t* error);
    bool IsVolumeHandle(platform::Handle handle) const;
    bool Close(platform::Handle handle, std::uint32_t* error);
    bool Control(platform::Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned,
                 std::uint32_t* error);

    std::uint32_t GetLogicalDriveStrings(std::uint32_t bufferLength, char* buffer) const;
    std::uint32_t GetDriveType(const char* rootPath) const;

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
    struct Drive;
    struct OpenVolume {
        std::shared_ptr<Drive> drive;
        bool canRead = false;
        bool canWrite = false;
    };
    struct CallFault {
        char letter;
        std::optional<std::uint32_t> code;  // empty: the open
        std::uint32_t error;
        unsigned remaining;  // calls to let pass before failing; 0 = this one
        bool every;
    };

    bool TakeCallFault(char letter, std::optional<std::uint32_t> code, std::uint32_t* error);
    void Record(VolumeEvent::Kind kind, char letter, platform::Handle handle, std::uint32_t error);
    std::uint32_t LockOrUnlock(platform::Handle handle, OpenVolume& volume, bool lock);
    std::uint32_t DeviceNumber(OpenVolume& volume, void* out, std::uint32_t outSize,
                               std::uint32_t* bytesReturned);

    mutable std::mutex mutex_;
    std::map<char, std::shared_ptr<Drive>> drives_;
    std::map<platform::Handle, OpenVolume> handles_;
    std::vector<CallFault> callFaults_;
    std::vector<VolumeEvent> events_;
    std::size_t nextHandle_ = 1;
    std::uint32_t nextDeviceNumber_ = 1;
    std::size_t invalidCloses_ = 0;
};
