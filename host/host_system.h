// The Linux backend of the command line: the Windows model
// (winmodel/windows_model.h) with an image file (AttachImage,
// image_drive.h) or a real removable disk (removable_disks.h) behind a
// drive letter. Attaching a drive also gives it what Windows keeps beside
// the drives: a device number, a disk device of the disk-drive class and
// the registry value Disk\Enum\<number> with its instance ID. Sleep and
// clock are real; an activity listener hears what the backend does.
// Thread-safe.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "winmodel/windows_model.h"

class EmulatedScsiDisk;

namespace platform {

class HostSystem : public WindowsModel {
public:
    HostSystem();
    ~HostSystem() override;

    // Plugs the drive in under letter (upper-cased) as a removable drive,
    // replacing one of the same letter. The drive gets the next device
    // number, 1, 2, ...
    void AttachDrive(char letter, std::shared_ptr<ModelDrive> drive);
    void DetachDrive(char letter);
    std::shared_ptr<ModelDrive> Drive(char letter) const { return Volumes().Drive(letter); }

    // An image file as a removable drive with an emulated SCSI disk; its
    // mounted volume is written with mtools. False when the file cannot be
    // opened for reading and writing.
    bool AttachImage(const std::string& path, char letter);
    void DetachImage(char letter) { DetachDrive(letter); }
    // The emulated disk of an image drive (null for other kinds).
    std::shared_ptr<EmulatedScsiDisk> Disk(char letter) const { return Volumes().Disk(letter); }

    // What the backend is doing, for a progress display: every SCSI command
    // sent through a raw volume, every restart, every file made whole and
    // every attribute change that failed.
    struct Activity {
        enum class Kind { Command, Restart, FileWritten, AttributesFailed };
        Kind kind = Kind::Command;
        char letter = 0;
        std::uint8_t opcode = 0;  // Command: the CDB's operation code
        std::uint32_t lba = 0;    // Command: READ(10)/WRITE(10) address
        std::uint32_t blocks = 0; // Command: READ(10)/WRITE(10) length
        std::string fileName;     // FileWritten, AttributesFailed
    };
    // Called on the thread that made the call; keep it quick.
    void SetActivityListener(std::function<void(const Activity&)> listener);

    // Raw volumes and mounted files opened and not yet closed.
    std::size_t OpenHandleCount() const;

    // Sleeps end early once the descriptor is readable (the command line's
    // interrupt): a make that is stopping does not wait out its pauses, such
    // as the minute it gives a restarted drive to come back. -1: none.
    void SetSleepWakeDescriptor(int descriptor) { sleepWake_ = descriptor; }

    void Sleep(std::uint32_t milliseconds) override;
    std::int32_t clock() override;

protected:
    void OnPassThrough(char letter, const void* in, std::uint32_t inSize) override;
    void OnRestart(char letter) override;
    void OnFileWritten(char letter, const std::string& name) override;
    void OnAttributesFailed(char letter, const std::string& name) override;

private:
    void Report(const Activity& activity);

    mutable std::mutex mutex_;
    std::uint32_t nextDeviceNumber_ = 1;
    std::function<void(const Activity&)> listener_;
    const std::chrono::steady_clock::time_point start_;
    std::atomic<int> sleepWake_{-1};
};

}  // namespace platform
