#include "winmodel/emulated_volumes.h"

#include <cctype>
#include <cstring>

#include "winmodel/emulated_scsi_disk.h"
#include "winmodel/pass_through_target.h"

namespace {

constexpr std::uint32_t kFileDeviceDisk = 7;  // STORAGE_DEVICE_NUMBER.DeviceType of a disk
// Handle values are small multiples of 4 from here, as Windows gives them.
constexpr std::uintptr_t kFirstHandleValue = 0x1000;

char Upper(char letter) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

}  // namespace

struct EmulatedVolumes::Drive {
    char letter;
    std::uint32_t driveType;
    std::shared_ptr<EmulatedScsiDisk> disk;
    std::uint32_t deviceNumber;
    bool present = true;
    platform::Handle lockedBy = nullptr;
    std::size_t openHandles = 0;
};

EmulatedVolumes::EmulatedVolumes() = default;
EmulatedVolumes::~EmulatedVolumes() = default;

void EmulatedVolumes::AddDrive(char letter, std::uint32_t driveType,
                               std::shared_ptr<EmulatedScsiDisk> disk) {
    std::lock_guard lock(mutex_);
    letter = Upper(letter);
    auto drive = std::make_shared<Drive>(Drive{letter, driveType, std::move(disk), 0});
    auto old = drives_.find(letter);
    if (old != drives_.end()) {
        old->second->present = false;
        drive->deviceNumber = old->second->deviceNumber;
    } else {
        drive->deviceNumber = nextDeviceNumber_++;
    }
    drives_[letter] = drive;
}

bool EmulatedVolumes::RemoveDrive(char letter) {
    std::lock_guard lock(mutex_);
    auto found = drives_.find(Upper(letter));
    if (found == drives_.end()) return false;
    found->second->present = false;
    drives_.erase(found);
    return true;
}

std::shared_ptr<EmulatedScsiDisk> EmulatedVolumes::Disk(char letter) const {
    std::lock_guard lock(mutex_);
    auto found = drives_.find(Upper(letter));
    return found == drives_.end() ? nullptr : found->second->disk;
}

void EmulatedVolumes::SetDeviceNumber(char letter, std::uint32_t deviceNumber) {
    std::lock_guard lock(mutex_);
    auto found = drives_.find(Upper(letter));
    if (found != drives_.end()) found->second->deviceNumber = deviceNumber;
}

bool EmulatedVolumes::IsVolumePath(const char* path) {
    return path != nullptr && std::strlen(path) == 6 && std::strncmp(path, "\\\\.\\", 4) == 0 &&
           std::isalpha(static_cast<unsigned char>(path[4])) && path[5] == ':';
}

platform::Handle EmulatedVolumes::Open(const char* path, std::uint32_t access,
                                       std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    if (!IsVolumePath(path)) {
        *error = ERROR_FILE_NOT_FOUND;
        return kInvalidHandle;
    }
    char letter = Upper(path[4]);
    auto found = drives_.find(letter);
    if (found == drives_.end()) {
        *error = ERROR_FILE_NOT_FOUND;
    } else if (TakeCallFault(letter, std::nullopt, error)) {
        // error set by the fault
    } else if (found->second->lockedBy != nullptr) {
        *error = ERROR_ACCESS_DENIED;
    } else {
        auto handle = reinterpret_cast<platform::Handle>(kFirstHandleValue + 4 * nextHandle_++);
        handles_[handle] = {found->second, (access & GENERIC_READ) != 0,
                            (access & GENERIC_WRITE) != 0};
        ++found->second->openHandles;
        *error = 0;
        Record(VolumeEvent::Kind::Open, letter, handle, 0);
        return handle;
    }
    Record(VolumeEvent::Kind::Open, letter, kInvalidHandle, *error);
    return kInvalidHandle;
}

bool EmulatedVolumes::IsVolumeHandle(platform::Handle handle) const {
    std::lock_guard lock(mutex_);
    return handles_.count(handle) != 0;
}

bool EmulatedVolumes::Close(platform::Handle handle, std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    auto found = handles_.find(handle);
    if (found == handles_.end()) {
        ++invalidCloses_;
        *error = ERROR_INVALID_HANDLE;
        Record(VolumeEvent::Kind::Close, 0, handle, *error);
        return false;
    }
    Drive& drive = *found->second.drive;
    if (drive.lockedBy == handle) drive.lockedBy = nullptr;
    --drive.openHandles;
    Record(VolumeEvent::Kind::Close, drive.letter, handle, 0);
    handles_.erase(found);
    *error = 0;
    return true;
}

bool EmulatedVolumes::Control(platform::Handle handle, std::uint32_t code, void* in,
                              std::uint32_t inSize, void* out, std::uint32_t outSize,
                              std::uint32_t* bytesReturned, std::uint32_t* error) {
    std::unique_lock lock(mutex_);
    if (bytesReturned != nullptr) *bytesReturned = 0;
    auto found = handles_.find(handle);
    if (found == handles_.end()) {
        *error = ERROR_INVALID_HANDLE;
        return false;
    }
    OpenVolume& volume = found->second;
    std::shared_ptr<Drive> keepDrive = volume.drive;  // outlives a close while unlocked below
    Drive& drive = *keepDrive;
    VolumeEvent::Kind kind = code == IOCTL_SCSI_PASS_THROUGH_DIRECT ? VolumeEvent::Kind::PassThrough
                             : code == FSCTL_LOCK_VOLUME            ? VolumeEvent::Kind::Lock
                             : code == FSCTL_UNLOCK_VOLUME          ? VolumeEvent::Kind::Unlock
                                                                    : VolumeEvent::Kind::OtherControl;
    std::uint32_t result = 0;
    if (TakeCallFault(drive.letter, code, &result)) {
        // result set by the fault
    } else if (!drive.present) {
        result = kErrorDeviceNotConnected;
    } else if (kind == VolumeEvent::Kind::Lock || kind == VolumeEvent::Kind::Unlock) {
        result = LockOrUnlock(handle, volume, kind == VolumeEvent::Kind::Lock);
    } else if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER) {
        result = DeviceNumber(volume, out, outSize, bytesReturned);
    } else if (kind == VolumeEvent::Kind::PassThrough) {
        if (!volume.canRead || !volume.canWrite) {
            result = ERROR_ACCESS_DENIED;
        } else if (drive.disk == nullptr) {
            result = ERROR_NOT_SUPPORTED;
        } else {
            // The disk has its own lock; commands of other volumes need not wait.
            std::shared_ptr<EmulatedScsiDisk> disk = drive.disk;
            lock.unlock();
            result = RunPassThrough(*disk, in, inSize, out, outSize, bytesReturned);
            lock.lock();
        }
    } else {
        result = ERROR_NOT_SUPPORTED;
    }
    Record(kind, drive.letter, handle, result);
    *error = result;
    return result == 0;
}

std::uint32_t EmulatedVolumes::LockOrUnlock(platform::Handle handle, OpenVolume& volume,
                                            bool lock) {
    Drive& drive = *volume.drive;
    if (lock) {
        if (drive.lockedBy == handle) return 0;
        if (drive.lockedBy != nullptr || drive.openHandles > 1) return ERROR_ACCESS_DENIED;
        drive.lockedBy = handle;
        return 0;
    }
    if (drive.lockedBy != handle) return kErrorNotLocked;
    drive.lockedBy = nullptr;
    return 0;
}

std::uint32_t EmulatedVolumes::DeviceNumber(OpenVolume& volume, void* out, std::uint32_t outSize,
                                            std::uint32_t* bytesReturned) {
    if (out == nullptr || outSize < sizeof(platform::STORAGE_DEVICE_NUMBER)) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    platform::STORAGE_DEVICE_NUMBER number{kFileDeviceDisk, volume.drive->deviceNumber, 1};
    std::memcpy(out, &number, sizeof number);
    if (bytesReturned != nullptr) *bytesReturned = sizeof number;
    return 0;
}

std::uint32_t EmulatedVolumes::GetLogicalDriveStrings(std::uint32_t bufferLength,
                                                      char* buffer) const {
    std::lock_guard lock(mutex_);
    // "E:\" NUL for each drive, then a final NUL; the result leaves the
    // final NUL out, or is the size needed (with it) when it does not fit.
    std::string text;
    for (const auto& [letter, drive] : drives_) {
        text += letter;
        text += ":\\";
        text += '\0';
    }
    auto length = static_cast<std::uint32_t>(text.size());
    if (buffer == nullptr || bufferLength < length + 1) return length + 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

std::uint32_t EmulatedVolumes::GetDriveType(const char* rootPath) const {
    std::lock_guard lock(mutex_);
    if (rootPath == nullptr || !std::isalpha(static_cast<unsigned char>(rootPath[0])) ||
        rootPath[1] != ':' || !(rootPath[2] == '\0' || (rootPath[2] == '\\' && rootPath[3] == '\0'))) {
        return DRIVE_NO_ROOT_DIR;
    }
    auto found = drives_.find(Upper(rootPath[0]));
    return found == drives_.end() ? DRIVE_NO_ROOT_DIR : found->second->driveType;
}

void EmulatedVolumes::FailOpen(char letter, std::uint32_t error, unsigned occurrence) {
    std::lock_guard lock(mutex_);
    callFaults_.push_back({Upper(letter), std::nullopt, error,
                           occurrence == 0 ? 0 : occurrence - 1, occurrence == 0});
}

void EmulatedVolumes::FailControl(char letter, std::uint32_t code, std::uint32_t error,
                                  unsigned occurrence) {
    std::lock_guard lock(mutex_);
    callFaults_.push_back(
        {Upper(letter), code, error, occurrence == 0 ? 0 : occurrence - 1, occurrence == 0});
}

void EmulatedVolumes::ClearCallFaults() {
    std::lock_guard lock(mutex_);
    callFaults_.clear();
}

bool EmulatedVolumes::TakeCallFault(char letter, std::optional<std::uint32_t> code,
                                    std::uint32_t* error) {
    bool hit = false;
    for (auto it = callFaults_.begin(); it != callFaults_.end();) {
        if (it->letter != letter || it->code != code) {
            ++it;
            continue;
        }
        if (it->every) {
            if (!hit) *error = it->error;
            hit = true;
            ++it;
        } else if (it->remaining > 0) {
            --it->remaining;
            ++it;
        } else if (!hit) {
            *error = it->error;
            hit = true;
            it = callFaults_.erase(it);
        } else {
            ++it;  // a second fault for the same call waits for the next one
        }
    }
    return hit;
}

void EmulatedVolumes::Record(VolumeEvent::Kind kind, char letter, platform::Handle handle,
                             std::uint32_t error) {
    events_.push_back({kind, letter, handle, error});
}

std::size_t EmulatedVolumes::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

std::size_t EmulatedVolumes::InvalidCloseCount() const {
    std::lock_guard lock(mutex_);
    return invalidCloses_;
}

bool EmulatedVolumes::IsLocked(char letter) const {
    std::lock_guard lock(mutex_);
    auto found = drives_.find(Upper(letter));
    return found != drives_.end() && found->second->lockedBy != nullptr;
}

std::vector<VolumeEvent> EmulatedVolumes::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void EmulatedVolumes::ClearEvents() {
    std::lock_guard lock(mutex_);
    events_.clear();
}
