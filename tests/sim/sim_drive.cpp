#include "tests/sim/sim_drive.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

constexpr std::uint32_t kAttributeArchive = 0x20;  // FILE_ATTRIBUTE_ARCHIVE, set on every new file

std::string Upper(std::string text) {
    for (char& character : text) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

}  // namespace

// The files of one mounting of a sim drive's volume, in creation order,
// with the sim's injected file faults.
class MemoryVolume : public MountedVolume, public std::enable_shared_from_this<MemoryVolume> {
public:
    explicit MemoryVolume(SimSystem& sim) : sim_(sim) {}

    std::vector<SimSystem::SimFile> Files() const {
        std::lock_guard lock(mutex_);
        std::vector<SimSystem::SimFile> files;
        for (const auto& entry : files_) files.push_back(entry.second);
        return files;
    }

    std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) override;
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override {
        if (std::uint32_t fault = sim_.FileCallFault(SimSystem::FileCall::SetAttributes, name)) return fault;
        std::lock_guard lock(mutex_);
        SimSystem::SimFile* file = Find(Upper(name));
        if (file == nullptr) return ERROR_FILE_NOT_FOUND;
        file->attributes = attributes;
        return 0;
    }
    std::optional<std::uint32_t> Attributes(const std::string& name) override {
        std::lock_guard lock(mutex_);
        SimSystem::SimFile* file = Find(Upper(name));
        if (file == nullptr) return std::nullopt;
        return file->attributes;
    }

    std::uint32_t Append(const std::string& key, const void* data, std::uint32_t size) {
        std::lock_guard lock(mutex_);
        SimSystem::SimFile* file = Find(key);
        if (file == nullptr) return kErrorDeviceNotConnected;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        file->data.insert(file->data.end(), bytes, bytes + size);
        return 0;
    }

private:
    SimSystem::SimFile* Find(const std::string& key) {
        auto found = std::find_if(files_.begin(), files_.end(), [&](const auto& entry) { return entry.first == key; });
        return found == files_.end() ? nullptr : &found->second;
    }

    SimSystem& sim_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, SimSystem::SimFile>> files_;  // upper-cased name, file
};

namespace {

class MemoryFile : public MountedFile {
public:
    MemoryFile(SimSystem& sim, std::shared_ptr<MemoryVolume> volume, std::string name)
        : sim_(sim), volume_(std::move(volume)), name_(std::move(name)) {}
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        if (std::uint32_t fault = sim_.FileCallFault(SimSystem::FileCall::Write, name_)) return fault;
        return volume_->Append(Upper(name_), data, size);
    }
    std::uint32_t Close() override { return sim_.FileCallFault(SimSystem::FileCall::Close, name_); }

private:
    SimSystem& sim_;
    std::shared_ptr<MemoryVolume> volume_;
    std::string name_;
};

}  // namespace

std::unique_ptr<MountedFile> MemoryVolume::Create(const std::string& name, std::uint32_t* error) {
    if (std::uint32_t fault = sim_.FileCallFault(SimSystem::FileCall::Create, name)) {
        *error = fault;
        return nullptr;
    }
    const std::int32_t now = sim_.clock();
    {
        std::lock_guard lock(mutex_);
        const std::string key = Upper(name);
        if (SimSystem::SimFile* existing = Find(key)) {
            existing->data.clear();
            existing->attributes = kAttributeArchive;
        } else {
            files_.emplace_back(key, SimSystem::SimFile{name, {}, kAttributeArchive, now});
        }
    }
    *error = 0;
    return std::make_unique<MemoryFile>(sim_, shared_from_this(), name);
}

SimDrive::SimDrive(SimSystem& sim, char letter, std::shared_ptr<EmulatedScsiDisk> disk)
    : EmulatedDiskDrive(std::move(disk)), sim_(sim), letter_(letter), volume_(std::make_shared<MemoryVolume>(sim)) {}

SimDrive::~SimDrive() = default;

std::vector<SimSystem::SimFile> SimDrive::Files() const {
    std::lock_guard lock(mutex_);
    return volume_->Files();
}

std::shared_ptr<MountedVolume> SimDrive::Mount(std::uint32_t* error) {
    *error = 0;
    std::lock_guard lock(mutex_);
    return volume_;
}

std::uint32_t SimDrive::Restart() {
    {
        std::lock_guard lock(mutex_);
        volume_ = std::make_shared<MemoryVolume>(sim_);
    }
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
