// makevorndisk with one fault in its target drive, for the exit-code tests
// only (built with the tests, never installed):
//
//     makevorndisk_faults FAULT [makevorndisk's make arguments]
//
// Everything but the drive is the command line's own code: its argument
// parsing, the headless dialog, the workflow, the worker, the console
// operator and the exit code. The fault sits between the image drive and
// the Linux backend, where a failing stick would.
#include <atomic>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/make_command.h"
#include "device/scsi_constants.h"
#include "platform/win_types.h"
#include "winmodel/emulated_disk_drive.h"
#include "winmodel/emulated_scsi_disk.h"

namespace {

using platform::ModelDrive;
using platform::MountedVolume;

enum class Fault { kCapacity, kBuild, kReadBack, kIdentity, kDriveLost, kNotRemounted, kPayload, kLostData };

struct FaultName {
    const char* name;
    Fault fault;
};
constexpr FaultName kFaults[] = {
    {"capacity", Fault::kCapacity},   {"build", Fault::kBuild},          {"read-back", Fault::kReadBack},
    {"identity", Fault::kIdentity},   {"drive-lost", Fault::kDriveLost}, {"not-remounted", Fault::kNotRemounted},
    {"payload", Fault::kPayload},     {"lost-data", Fault::kLostData},
};

// The payload file whose creation fails.
constexpr const char* kRefusedFile = "IO.SYS";
// The file whose data only half reaches the disk.
constexpr const char* kShortFile = "MSDOS.SYS";
// The label the volume shows when the drive comes back with the file
// system it had before the make.
constexpr const char* kOldLabel = "OLD STICK";

// A file whose every write is reported done while only its first half is
// kept: data the system said it wrote that never reached the disk.
class HalfKeptFile : public platform::MountedFile {
public:
    explicit HalfKeptFile(std::unique_ptr<platform::MountedFile> file) : file_(std::move(file)) {}
    std::uint32_t Write(const void* data, std::uint32_t size) override { return file_->Write(data, size / 2); }
    std::uint32_t Close() override { return file_->Close(); }

private:
    const std::unique_ptr<platform::MountedFile> file_;
};

// The mounted volume, except that the payload fault refuses one file, the
// lost-data fault keeps half of another, and the remount fault shows the
// old file system's label.
class FaultyVolume : public MountedVolume {
public:
    FaultyVolume(std::shared_ptr<MountedVolume> volume, Fault fault) : volume_(std::move(volume)), fault_(fault) {}

    std::unique_ptr<platform::MountedFile> Create(const std::string& name, std::uint32_t* error) override {
        if (fault_ == Fault::kPayload && name == kRefusedFile) {
            *error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        std::unique_ptr<platform::MountedFile> file = volume_->Create(name, error);
        if (fault_ == Fault::kLostData && name == kShortFile && file != nullptr) {
            return std::make_unique<HalfKeptFile>(std::move(file));
        }
        return file;
    }
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override {
        return volume_->SetAttributes(name, attributes);
    }
    std::optional<std::uint32_t> Attributes(const std::string& name) override { return volume_->Attributes(name); }
    std::optional<platform::VolumeInformation> Information() override {
        std::optional<platform::VolumeInformation> information = volume_->Information();
        if (fault_ == Fault::kNotRemounted && information) information->label = kOldLabel;
        return information;
    }
    std::optional<std::vector<platform::DirectoryEntry>> ListRoot() override { return volume_->ListRoot(); }

private:
    const std::shared_ptr<MountedVolume> volume_;
    const Fault fault_;
};

// The image drive with the fault that is not a SCSI command's: no device
// identity, a drive that stays away after its restart, or a mounted volume
// with a fault of its own.
class FaultyDrive : public ModelDrive {
public:
    FaultyDrive(std::shared_ptr<ModelDrive> drive, Fault fault) : drive_(std::move(drive)), fault_(fault) {}

    bool IsPresent() override { return !(fault_ == Fault::kDriveLost && restarted_) && drive_->IsPresent(); }
    std::string InstanceId() const override { return fault_ == Fault::kIdentity ? "" : drive_->InstanceId(); }
    std::unique_ptr<ScsiTarget> OpenTarget(bool write, std::uint32_t* error) override {
        return drive_->OpenTarget(write, error);
    }
    std::uint32_t TakeLock() override { return drive_->TakeLock(); }
    void ReleaseLock() override { drive_->ReleaseLock(); }
    bool AllowedUnlocked(const ScsiRequest& request) const override { return drive_->AllowedUnlocked(request); }
    std::uint32_t Restart() override {
        restarted_ = true;
        return drive_->Restart();
    }
    std::optional<std::uint32_t> ReadVolumeStart() override { return drive_->ReadVolumeStart(); }
    std::shared_ptr<MountedVolume> Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) override {
        std::shared_ptr<MountedVolume> volume = drive_->Mount(volumeStart, error);
        if (volume == nullptr) return nullptr;
        return std::make_shared<FaultyVolume>(std::move(volume), fault_);
    }

private:
    const std::shared_ptr<ModelDrive> drive_;
    const Fault fault_;
    std::atomic<bool> restarted_{false};
};

// The disk's first command with the opcode fails as a stick's would.
DiskFault FirstCommandFails(std::uint8_t opcode, FaultKind kind) {
    DiskFault fault;
    fault.kind = kind;
    fault.opcode = opcode;
    fault.atCommand = 0;
    return fault;
}

cli::DriveHook HookFor(Fault fault) {
    return [fault](std::shared_ptr<ModelDrive> drive) -> std::shared_ptr<ModelDrive> {
        auto emulated = std::dynamic_pointer_cast<platform::EmulatedDiskDrive>(drive);
        if (emulated == nullptr) return drive;
        switch (fault) {
        case Fault::kCapacity:
            emulated->Disk()->InjectFault(FirstCommandFails(scsi::kOpReadCapacity10, FaultKind::CheckCondition));
            return drive;
        case Fault::kBuild:
            emulated->Disk()->InjectFault(FirstCommandFails(scsi::kOpWrite10, FaultKind::CheckCondition));
            return drive;
        case Fault::kReadBack:
            // The MBR area is answered GOOD and never stored.
            emulated->Disk()->InjectFault(FirstCommandFails(scsi::kOpWrite10, FaultKind::DropWrite));
            return drive;
        default:
            return std::make_shared<FaultyDrive>(std::move(drive), fault);
        }
    };
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const FaultName* chosen = nullptr;
    for (const FaultName& fault : kFaults) {
        if (!arguments.empty() && arguments.front() == fault.name) chosen = &fault;
    }
    if (chosen == nullptr) {
        std::cerr << "usage: makevorndisk_faults FAULT [ARGUMENTS]; FAULT is one of:";
        for (const FaultName& fault : kFaults) std::cerr << " " << fault.name;
        std::cerr << "\n";
        return cli::kExitBadArguments;
    }
    const std::vector<std::string_view> makeArguments(arguments.begin() + 1, arguments.end());
    const cli::ParseResult parsed = cli::ParseArguments(makeArguments);
    if (!parsed.error.empty() || parsed.commandLine.action != cli::Action::kMake || parsed.commandLine.device) {
        std::cerr << "makevorndisk_faults: only a make on an image file takes a fault\n";
        return cli::kExitBadArguments;
    }
    return cli::RunMake(parsed.commandLine, std::cout, std::cerr, HookFor(chosen->fault));
}
