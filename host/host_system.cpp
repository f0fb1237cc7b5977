#include "host/host_system.h"

#include <poll.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <thread>

#include "device/pass_through_record.h"
#include "device/scsi_constants.h"
#include "host/image_drive.h"
#include "platform/byte_order.h"

namespace platform {

namespace {

constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";

char Upper(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }

}  // namespace

HostSystem::HostSystem() : start_(std::chrono::steady_clock::now()) {}
HostSystem::~HostSystem() = default;

void HostSystem::AttachDrive(char letter, std::shared_ptr<ModelDrive> drive) {
    letter = Upper(letter);
    DetachDrive(letter);
    std::uint32_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = nextDeviceNumber_++;
    }
    const std::string instanceId = drive->InstanceId();
    Volumes().AddDrive(letter, DRIVE_REMOVABLE, std::move(drive));
    AddDiskDevice(letter, number, instanceId);
    SetRegistryString(kDiskEnumKey, std::to_string(number), instanceId);
}

void HostSystem::DetachDrive(char letter) {
    if (std::optional<std::uint32_t> number = Volumes().DeviceNumber(letter)) {
        RemoveRegistryValue(kDiskEnumKey, std::to_string(*number));
    }
    RemoveDiskDevices(Upper(letter));
    Volumes().RemoveDrive(letter);
}

bool HostSystem::AttachImage(const std::string& path, char letter) {
    std::shared_ptr<host::ImageDrive> drive = host::ImageDrive::Open(path);
    if (drive == nullptr) return false;
    AttachDrive(letter, std::move(drive));
    return true;
}

void HostSystem::SetActivityListener(std::function<void(const Activity&)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void HostSystem::Report(const Activity& activity) {
    std::function<void(const Activity&)> listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    if (listener) listener(activity);
}

std::size_t HostSystem::OpenHandleCount() const { return Volumes().OpenHandleCount() + OpenFileCount(); }

void HostSystem::OnPassThrough(char letter, const void* in, std::uint32_t inSize) {
    Activity activity;
    activity.kind = Activity::Kind::Command;
    activity.letter = letter;
    if (in != nullptr && inSize >= sizeof(SCSI_PASS_THROUGH_DIRECT)) {
        SCSI_PASS_THROUGH_DIRECT request;
        std::memcpy(&request, in, sizeof request);
        const std::uint8_t* cdb = request.Cdb;
        activity.opcode = cdb[scsi::kCdbOpcode];
        if (activity.opcode == scsi::kOpRead10 || activity.opcode == scsi::kOpWrite10) {
            activity.lba = LoadBe32(cdb + scsi::kCdbRw10Lba);
            activity.blocks = LoadBe16(cdb + scsi::kCdbRw10TransferLength);
        }
    }
    Report(activity);
}

void HostSystem::OnRestart(char letter) { Report({Activity::Kind::Restart, letter, 0, 0, 0, {}}); }

void HostSystem::OnFileWritten(char letter, const std::string& name) {
    Report({Activity::Kind::FileWritten, letter, 0, 0, 0, name});
}

void HostSystem::OnAttributesFailed(char letter, const std::string& name) {
    Report({Activity::Kind::AttributesFailed, letter, 0, 0, 0, name});
}

void HostSystem::Sleep(std::uint32_t milliseconds) {
    const int wake = sleepWake_.load();
    if (wake < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd woken{wake, POLLIN, 0};
        const int ready = ::poll(&woken, 1, static_cast<int>(left.count()));
        // A signal that interrupted the poll is no wake-up; anything else ends the sleep.
        if (ready != 0 && !(ready < 0 && errno == EINTR)) return;
    }
}

std::int32_t HostSystem::clock() {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace platform
