// A drive of the simulated PC: an emulated disk in memory behind the raw
// volume (or none), a mounted volume that keeps its files in memory, and a
// restart that takes the drive away and brings it back on the virtual clock
// as the letter's restart plan says, with its files gone.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "tests/sim/sim_system.h"
#include "winmodel/emulated_disk_drive.h"

namespace platform {

class MemoryVolume;

class SimDrive : public EmulatedDiskDrive, public std::enable_shared_from_this<SimDrive> {
public:
    SimDrive(SimSystem& sim, char letter, std::shared_ptr<EmulatedScsiDisk> disk);
    ~SimDrive() override;

    std::vector<SimSystem::SimFile> Files() const;

    bool IsPresent() override { return present_; }
    std::uint32_t Restart() override;
    std::shared_ptr<MountedVolume> Mount(std::uint32_t* error) override;

private:
    SimSystem& sim_;
    const char letter_;
    std::atomic<bool> present_{true};
    mutable std::mutex mutex_;
    std::shared_ptr<MemoryVolume> volume_;
};

}  // namespace platform
