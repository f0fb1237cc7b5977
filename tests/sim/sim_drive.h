// A drive of the simulated PC: an emulated disk in memory behind the raw
// volume (or none), whose file system is the model's FAT volume on that
// disk with the sim's injected file faults and the virtual time each file
// was made; and a restart that takes the drive away and brings it back on
// the virtual clock as the letter's restart plan says.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "tests/sim/sim_system.h"
#include "winmodel/emulated_disk_drive.h"

namespace platform {

class SimDrive : public EmulatedDiskDrive, public std::enable_shared_from_this<SimDrive> {
public:
    SimDrive(SimSystem& sim, char letter, std::shared_ptr<EmulatedScsiDisk> disk);
    ~SimDrive() override;

    // The files in the root of the volume the disk holds now, as a system
    // that mounts it afresh finds them, in directory order.
    std::vector<SimSystem::SimFile> Files() const;
    // A file was made at this virtual time.
    void NoteCreated(const std::string& name, std::int32_t clock);

    bool IsPresent() override { return present_; }
    std::uint32_t Restart() override;
    std::shared_ptr<MountedVolume> Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) override;

private:
    SimSystem& sim_;
    const char letter_;
    std::atomic<bool> present_{true};
    mutable std::mutex mutex_;
    std::map<std::string, std::int32_t> createdAt_;  // upper-cased name
};

}  // namespace platform
