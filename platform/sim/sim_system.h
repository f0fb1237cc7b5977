// The scripted PC of the tests: drives with emulated SCSI disks behind them,
// and (as the work grows) registry, device tree, file store and a virtual
// clock. Thread-safe: the dialog's thread and the worker both call it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/system_services.h"

class EmulatedScsiDisk;

namespace platform {

class SimSystem : public SystemServices {
public:
    SimSystem();
    ~SimSystem() override;

    // Drives. AddDrive plugs a drive in (replacing one of the same letter);
    // a removable drive usually has an emulated disk behind its raw volume.
    // Plugging and pulling report DBT_DEVICEARRIVAL (0x8000) and
    // DBT_DEVICEREMOVECOMPLETE (0x8004) to the device-change listener.
    void AddDrive(char letter, std::uint32_t driveType,
                  std::shared_ptr<EmulatedScsiDisk> disk = nullptr);
    void RemoveDrive(char letter);
    void SetDeviceChangeListener(std::function<void(std::uint32_t event)> listener);

    // SystemServices: see system_services.h. Implemented in sim_*.cpp.
    // (declarations of the overrides follow)
};

}  // namespace platform
