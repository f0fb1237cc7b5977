#include "tests/sim/sim_system.h"

#include "tests/sim/sim_last_error.h"

namespace platform {

SimSystem::SimSystem() = default;
SimSystem::~SimSystem() = default;

void SimSystem::AddDrive(char letter, std::uint32_t driveType,
                         std::shared_ptr<EmulatedScsiDisk> disk) {
    volumes_.AddDrive(letter, driveType, std::move(disk));
    Notify(kDbtDeviceArrival);
}

void SimSystem::RemoveDrive(char letter) {
    if (volumes_.RemoveDrive(letter)) Notify(kDbtDeviceRemoveComplete);
}

void SimSystem::SetDeviceChangeListener(std::function<void(std::uint32_t event)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

std::shared_ptr<EmulatedScsiDisk> SimSystem::Disk(char letter) const {
    return volumes_.Disk(letter);
}

void SimSystem::Notify(std::uint32_t event) {
    std::function<void(std::uint32_t)> listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    // Outside the lock: the listener may call back into the system.
    if (listener) listener(event);
}

std::size_t SimSystem::OpenHandleCount() const { return volumes_.OpenHandleCount(); }

void SimSystem::SetLastError(std::uint32_t error) { sim::SetThreadLastError(error); }

std::uint32_t SimSystem::GetLastError() { return sim::ThreadLastError(); }

}  // namespace platform
