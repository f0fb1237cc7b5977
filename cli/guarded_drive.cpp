#include "cli/guarded_drive.h"

namespace cli {

namespace {

using platform::DirectoryEntry;
using platform::ModelDrive;
using platform::MountedFile;
using platform::MountedVolume;
using platform::VolumeInformation;

class GuardedTarget : public ScsiTarget {
public:
    GuardedTarget(std::unique_ptr<ScsiTarget> target, StepGate gate)
        : target_(std::move(target)), gate_(std::move(gate)) {}
    ScsiOutcome Execute(const ScsiRequest& request) override {
        const std::uint8_t opcode = request.cdb != nullptr && request.cdbLength > 0 ? request.cdb[0] : 0;
        if (!gate_(DriveStep::kCommand, opcode)) {
            ScsiOutcome refused;
            refused.osError = kErrorOperationAborted;
            return refused;
        }
        return target_->Execute(request);
    }

private:
    const std::unique_ptr<ScsiTarget> target_;
    const StepGate gate_;
};

class GuardedFile : public MountedFile {
public:
    GuardedFile(std::unique_ptr<MountedFile> file, StepGate gate) : file_(std::move(file)), gate_(std::move(gate)) {}
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        if (!gate_(DriveStep::kWriteFile, 0)) return kErrorOperationAborted;
        return file_->Write(data, size);
    }
    // A file whose bytes are all written is made whole: its close is the
    // step that ends it, not one that starts anything.
    std::uint32_t Close() override { return file_->Close(); }

private:
    const std::unique_ptr<MountedFile> file_;
    const StepGate gate_;
};

class GuardedVolume : public MountedVolume {
public:
    GuardedVolume(std::shared_ptr<MountedVolume> volume, StepGate gate)
        : volume_(std::move(volume)), gate_(std::move(gate)) {}
    std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) override {
        if (!gate_(DriveStep::kCreateFile, 0)) {
            *error = kErrorOperationAborted;
            return nullptr;
        }
        std::unique_ptr<MountedFile> file = volume_->Create(name, error);
        if (file == nullptr) return nullptr;
        return std::make_unique<GuardedFile>(std::move(file), gate_);
    }
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override {
        if (!gate_(DriveStep::kSetAttributes, 0)) return kErrorOperationAborted;
        return volume_->SetAttributes(name, attributes);
    }
    std::optional<std::uint32_t> Attributes(const std::string& name) override { return volume_->Attributes(name); }
    std::optional<VolumeInformation> Information() override { return volume_->Information(); }
    std::optional<std::vector<DirectoryEntry>> ListRoot() override { return volume_->ListRoot(); }

private:
    const std::shared_ptr<MountedVolume> volume_;
    const StepGate gate_;
};

class GuardedDrive : public ModelDrive {
public:
    GuardedDrive(std::shared_ptr<ModelDrive> drive, StepGate gate) : drive_(std::move(drive)), gate_(std::move(gate)) {}

    bool IsPresent() override { return drive_->IsPresent(); }
    std::string InstanceId() const override { return drive_->InstanceId(); }
    std::unique_ptr<ScsiTarget> OpenTarget(bool write, std::uint32_t* error) override {
        std::unique_ptr<ScsiTarget> target = drive_->OpenTarget(write, error);
        if (target == nullptr) return nullptr;
        return std::make_unique<GuardedTarget>(std::move(target), gate_);
    }
    std::uint32_t TakeLock() override { return drive_->TakeLock(); }
    void ReleaseLock() override { drive_->ReleaseLock(); }
    bool AllowedUnlocked(const ScsiRequest& request) const override { return drive_->AllowedUnlocked(request); }
    std::uint32_t Restart() override { return drive_->Restart(); }
    std::optional<std::uint32_t> ReadVolumeStart() override { return drive_->ReadVolumeStart(); }
    std::shared_ptr<MountedVolume> Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) override {
        if (!gate_(DriveStep::kMount, 0)) {
            *error = kErrorOperationAborted;
            return nullptr;
        }
        std::shared_ptr<MountedVolume> volume = drive_->Mount(volumeStart, error);
        if (volume == nullptr) return nullptr;
        return std::make_shared<GuardedVolume>(std::move(volume), gate_);
    }

private:
    const std::shared_ptr<ModelDrive> drive_;
    const StepGate gate_;
};

}  // namespace

std::shared_ptr<ModelDrive> GuardDrive(std::shared_ptr<ModelDrive> drive, StepGate gate) {
    return std::make_shared<GuardedDrive>(std::move(drive), std::move(gate));
}

}  // namespace cli
