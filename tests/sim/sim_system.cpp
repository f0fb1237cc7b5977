// The simulated PC's drives, device-change reports, restart plans and
// injected faults. The clock is in sim_clock.cpp, the drives' files in
// sim_drive.cpp; everything else is the Windows model's.
#include "tests/sim/sim_system.h"

#include <algorithm>
#include <cctype>

#include "tests/sim/sim_drive.h"

namespace platform {

namespace {
std::string Upper(std::string text) {
    for (char& character : text) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return text;
}
char UpperLetter(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }
}  // namespace

SimSystem::SimSystem() = default;
SimSystem::~SimSystem() = default;

void SimSystem::AddDrive(char letter, std::uint32_t driveType, std::shared_ptr<EmulatedScsiDisk> disk) {
    letter = UpperLetter(letter);
    Volumes().AddDrive(letter, driveType, std::make_shared<SimDrive>(*this, letter, std::move(disk)));
    Notify(kDbtDeviceArrival);
}

void SimSystem::RemoveDrive(char letter) {
    if (Volumes().RemoveDrive(letter)) Notify(kDbtDeviceRemoveComplete);
}

void SimSystem::SetDeviceChangeListener(std::function<void(std::uint32_t event)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

std::shared_ptr<EmulatedScsiDisk> SimSystem::Disk(char letter) const { return Volumes().Disk(letter); }

void SimSystem::Notify(std::uint32_t event) {
    std::function<void(std::uint32_t)> listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    if (listener) listener(event);
}

std::size_t SimSystem::OpenHandleCount() const { return Volumes().OpenHandleCount(); }

void SimSystem::SetRestartPlan(char letter, RestartPlan plan) {
    std::lock_guard lock(faultsMutex_);
    restartPlans_[UpperLetter(letter)] = plan;
}

std::optional<std::uint32_t> SimSystem::ReplugDelay(char letter) const {
    std::lock_guard lock(faultsMutex_);
    auto plan = restartPlans_.find(UpperLetter(letter));
    return plan == restartPlans_.end() ? RestartPlan{}.replugAfterMs : plan->second.replugAfterMs;
}

std::uint32_t SimSystem::RestartDrive(char letter) {
    {
        std::lock_guard lock(faultsMutex_);
        RestartPlan& plan = restartPlans_[UpperLetter(letter)];
        if (plan.failingAttempts > 0) {
            --plan.failingAttempts;
            return ERROR_IO_DEVICE;
        }
        restarted_.push_back(UpperLetter(letter));
    }
    return WindowsModel::RestartDrive(letter);
}

std::vector<char> SimSystem::RestartedDrives() const {
    std::lock_guard lock(faultsMutex_);
    return restarted_;
}

void SimSystem::FailDeviceCall(DeviceCall call) {
    std::lock_guard lock(faultsMutex_);
    failingDeviceCalls_.push_back(call);
}

bool SimSystem::DeviceCallFails(DeviceCall call) const {
    std::lock_guard lock(faultsMutex_);
    return std::find(failingDeviceCalls_.begin(), failingDeviceCalls_.end(), call) != failingDeviceCalls_.end();
}

std::vector<SimSystem::SimFile> SimSystem::Files(char letter) const {
    auto drive = std::dynamic_pointer_cast<SimDrive>(Volumes().Drive(letter));
    return drive == nullptr ? std::vector<SimFile>{} : drive->Files();
}

std::optional<SimSystem::SimFile> SimSystem::File(char letter, const std::string& name) const {
    for (SimFile& file : Files(letter)) {
        if (Upper(file.name) == Upper(name)) return file;
    }
    return std::nullopt;
}

void SimSystem::FailFileCall(FileCall call, const std::string& name, std::uint32_t error) {
    std::lock_guard lock(faultsMutex_);
    fileFaults_.push_back(FileFault{call, Upper(name), error});
}

std::uint32_t SimSystem::FileCallFault(FileCall call, const std::string& name) const {
    std::lock_guard lock(faultsMutex_);
    const std::string key = Upper(name);
    for (const FileFault& fault : fileFaults_) {
        if (fault.call == call && fault.key == key) return fault.error;
    }
    return 0;
}

void SimSystem::FailResourceCall(ResourceCall call, std::uint32_t id) {
    std::lock_guard lock(faultsMutex_);
    resourceFaults_.push_back(ResourceFault{call, id});
}

bool SimSystem::ResourceCallFails(ResourceCall call, std::uint32_t id) const {
    std::lock_guard lock(faultsMutex_);
    return std::any_of(resourceFaults_.begin(), resourceFaults_.end(), [&](const ResourceFault& fault) {
        return fault.call == call && (fault.id == 0 || fault.id == id);
    });
}

}  // namespace platform
