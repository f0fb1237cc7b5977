#include "tests/sim/sim_drive.h"

#include <cctype>

#include "winmodel/emulated_scsi_disk.h"
#include "winmodel/fat_volume.h"
#include "winmodel/fat_volume_start.h"

namespace platform {

namespace {

std::string Upper(std::string text) {
    for (char& character : text) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

// A file of the FAT volume with the sim's faults on its writes and close.
class SimFile : public MountedFile {
public:
    SimFile(SimSystem& sim, std::unique_ptr<MountedFile> file, std::string name)
        : sim_(sim), file_(std::move(file)), name_(std::move(name)) {}
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        if (std::uint32_t fault = sim_.FileCallFault(SimSystem::FileCall::Write, name_)) return fault;
        return file_->Write(data, size);
    }
    std::uint32_t Close() override {
        if (std::uint32_t fault = sim_.FileCallFault(SimSystem::FileCall::Close, name_)) return fault;
        return file_->Close();
    }

private:
    SimSystem& sim_;
    std::unique_ptr<MountedFile> file_;
    std::string name_;
};

// The mounted FAT volume with the sim's faults and creation times.
class SimVolume : public MountedVolume {
public:
    SimVolume(SimSystem& sim, std::shared_ptr<SimDrive> drive, std::shared_ptr<FatVolume> volume)
        : sim_(sim), drive_(std::move(drive)), volume_(std::move(volume)) {}

    std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) override {
        if (std::uint32_t fault = sim_.FileCallFault(SimSystem::FileCall::Create, name)) {
            *error = fault;
            return nullptr;
        }
        std::unique_ptr<MountedFile> file = volume_->Create(name, error);
        if (file == nullptr) return nullptr;
        drive_->NoteCreated(name, sim_.clock());
        return std::make_unique<SimFile>(sim_, std::move(file), name);
    }
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override {
        if (std::uint32_t fault = sim_.FileCallFault(SimSystem::FileCall::SetAttributes, name)) return fault;
        return volume_->SetAttributes(name, attributes);
    }
    std::optional<std::uint32_t> Attributes(const std::string& name) override { return volume_->Attributes(name); }
    std::optional<VolumeInformation> Information() override { return volume_->Information(); }
    std::optional<std::vector<DirectoryEntry>> ListRoot() override { return volume_->ListRoot(); }

private:
    SimSystem& sim_;
    std::shared_ptr<SimDrive> drive_;
    std::shared_ptr<FatVolume> volume_;
};

}  // namespace

SimDrive::SimDrive(SimSystem& sim, char letter, std::shared_ptr<EmulatedScsiDisk> disk)
    : EmulatedDiskDrive(std::move(disk)), sim_(sim), letter_(letter) {}

SimDrive::~SimDrive() = default;

void SimDrive::NoteCreated(const std::string& name, std::int32_t clock) {
    std::lock_guard lock(mutex_);
    createdAt_[Upper(name)] = clock;
}

std::vector<SimSystem::SimFile> SimDrive::Files() const {
    std::shared_ptr<EmulatedScsiDisk> disk = Disk();
    if (disk == nullptr) return {};
    std::uint32_t error = 0;
    const SectorIo io = DiskSectors(disk);
    const std::optional<std::uint32_t> start = ReadVolumeStartFromDisk([&](std::uint32_t lba, std::uint8_t* sector) {
        return io(lba, sector, 1, false);
    });
    std::shared_ptr<FatVolume> volume = start ? FatVolume::Mount(io, *start, &error) : nullptr;
    if (volume == nullptr) return {};
    std::vector<SimSystem::SimFile> files;
    for (const DirectoryEntry& entry : volume->ListRoot().value_or(std::vector<DirectoryEntry>{})) {
        SimSystem::SimFile file{entry.name, volume->ReadFile(entry.name).value_or(std::vector<std::uint8_t>{}),
                                entry.attributes, 0};
        std::lock_guard lock(mutex_);
        auto created = createdAt_.find(Upper(entry.name));
        if (created != createdAt_.end()) file.createdAt = created->second;
        files.push_back(std::move(file));
    }
    return files;
}

std::shared_ptr<MountedVolume> SimDrive::Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) {
    std::shared_ptr<MountedVolume> mounted = EmulatedDiskDrive::Mount(volumeStart, error);
    auto volume = std::dynamic_pointer_cast<FatVolume>(mounted);
    if (volume == nullptr) return nullptr;
    return std::make_shared<SimVolume>(sim_, shared_from_this(), std::move(volume));
}

std::uint32_t SimDrive::Restart() {
    present_ = false;
    sim_.Notify(kDbtDeviceRemoveComplete);
    if (std::optional<std::uint32_t> delay = sim_.ReplugDelay(letter_)) {
        std::weak_ptr<SimDrive> self = shared_from_this();
        sim_.ScheduleAt(sim_.clock() + static_cast<std::int32_t>(*delay), [self] {
            if (std::shared_ptr<SimDrive> drive = self.lock()) {
                drive->present_ = true;
                drive->sim_.Notify(kDbtDeviceArrival);
            }
        });
    }
    return 0;
}

}  // namespace platform
