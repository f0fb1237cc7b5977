// The scripted PC of the tests: the Windows model (winmodel/windows_model.h)
// with emulated SCSI disks in memory behind its drive letters, plus what
// only tests need: fault injection, counters, device-change reports and a
// virtual clock. Thread-safe: the dialog's thread and the worker both call it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "winmodel/windows_model.h"

class EmulatedScsiDisk;

namespace platform {

// WM_DEVICECHANGE events reported to the device-change listener.
inline constexpr std::uint32_t kDbtDeviceArrival = 0x8000;         // DBT_DEVICEARRIVAL
inline constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE

class SimSystem : public WindowsModel {
public:
    SimSystem();
    ~SimSystem() override;

    // Drives. AddDrive plugs a drive in (replacing one of the same letter);
    // a removable drive usually has an emulated disk behind its raw volume.
    // Its mounted volume keeps files in memory. Plugging and pulling, a
    // restart's too, report DBT_DEVICEARRIVAL (0x8000) and
    // DBT_DEVICEREMOVECOMPLETE (0x8004) to the device-change listener.
    void AddDrive(char letter, std::uint32_t driveType,
                  std::shared_ptr<EmulatedScsiDisk> disk = nullptr);
    void RemoveDrive(char letter);
    void SetDeviceChangeListener(std::function<void(std::uint32_t event)> listener);
    std::shared_ptr<EmulatedScsiDisk> Disk(char letter) const;

    // Raw volume handles opened and not yet closed (files: OpenFileCount).
    std::size_t OpenHandleCount() const;

    // Virtual clock: starts at 0; Sleep advances it without real waiting and
    // runs the actions scheduled up to the new time, in time order, on the
    // sleeping thread.
    void AdvanceClock(std::uint32_t milliseconds);
    void ScheduleAt(std::int32_t clockMilliseconds, std::function<void()> action);

    // What a property-change request (the restart) does to the disk of a
    // letter: the first failingAttempts requests fail; a request that
    // succeeds takes the drive away (its mounted files are gone) and
    // brings it back replugAfterMs later on the virtual clock, or never.
    struct RestartPlan {
        unsigned failingAttempts = 0;
        std::optional<std::uint32_t> replugAfterMs = 0;
    };
    void SetRestartPlan(char letter, RestartPlan plan);
    std::optional<std::uint32_t> ReplugDelay(char letter) const;
    // The letters whose disks a request restarted, in order.
    std::vector<char> RestartedDrives() const;
    // Every later call of that kind fails.
    void FailDeviceCall(DeviceCall call);
    using WindowsModel::ClassDevsCallCount;
    using WindowsModel::InstallerCallCount;
    using WindowsModel::RestartCount;
    using WindowsModel::OpenDeviceListCount;

    // Files on mounted volumes ("E:\NAME"): created new or truncated by
    // CREATE_ALWAYS with the archive attribute, as the file system does.
    struct SimFile {
        std::string name;  // as created
        std::vector<std::uint8_t> data;
        std::uint32_t attributes = 0;
        std::int32_t createdAt = 0;  // virtual clock
    };
    std::vector<SimFile> Files(char letter) const;  // in creation order
    std::optional<SimFile> File(char letter, const std::string& name) const;
    enum class FileCall { Create, Write, Close, SetAttributes };
    // Every later call of that kind on the named file fails with error.
    void FailFileCall(FileCall call, const std::string& name, std::uint32_t error);
    // The error an injected fault gives the call on the file (0: none).
    std::uint32_t FileCallFault(FileCall call, const std::string& name) const;

    // The program's resources: the embedded payload table. A failing call
    // fails for the id given (0: every id; GetModuleHandle ignores it).
    void FailResourceCall(ResourceCall call, std::uint32_t id = 0);

    // Reports a device change to the listener (outside every lock: the
    // listener may call back into the system).
    void Notify(std::uint32_t event);

    std::uint32_t RestartDrive(char letter) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::int32_t clock() override;

protected:
    bool DeviceCallFails(DeviceCall call) const override;
    bool ResourceCallFails(ResourceCall call, std::uint32_t id) const override;

private:
    struct FileFault {
        FileCall call;
        std::string key;  // upper-cased name
        std::uint32_t error;
    };
    struct ResourceFault {
        ResourceCall call;
        std::uint32_t id;
    };

    mutable std::mutex faultsMutex_;
    std::map<char, RestartPlan> restartPlans_;
    std::vector<char> restarted_;
    std::vector<DeviceCall> failingDeviceCalls_;
    std::vector<FileFault> fileFaults_;
    std::vector<ResourceFault> resourceFaults_;

    mutable std::mutex mutex_;
    std::function<void(std::uint32_t)> listener_;
    std::int64_t clockMs_ = 0;
    std::multimap<std::int64_t, std::function<void()>> scheduled_;
};

}  // namespace platform
