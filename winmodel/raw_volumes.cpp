#include "winmodel/raw_volumes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "winmodel/emulated_disk_drive.h"
#include "winmodel/pass_through_target.h"

namespace {

constexpr std::uint32_t kFirstPartition = 1;   // STORAGE_DEVICE_NUMBER.PartitionNumber of the volume
constexpr std::uint32_t kWholeDisk = 0;        // STORAGE_DEVICE_NUMBER.PartitionNumber of the disk
constexpr char kPhysicalDiskPrefix[] = "\\\\.\\PhysicalDrive";
// Handle values are small multiples of 4 from here, as Windows gives them.
constexpr std::uintptr_t kFirstHandleValue = 0x1000;

char Upper(char letter) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

}  // namespace

// One plugging-in of a drive under a letter. A restart or a new drive makes
// a new entry; handles keep theirs, which is then gone.
struct RawVolumes::Entry {
    char letter;
    std::uint32_t driveType;
    std::shared_ptr<platform::ModelDrive> drive;
    std::uint32_t deviceNumber;
    std::uint64_t plugging;
    bool present = true;
    platform::Handle lockedBy = nullptr;
    std::size_t openHandles = 0;    // volume handles of the program
    std::size_t foreignHandles = 0;  // other processes' handles on the volume
    std::optional<std::uint32_t> volumeStart{};  // as the partition table read last has it
    std::shared_ptr<platform::MountedVolume> mounted{};
};

RawVolumes::RawVolumes() = default;
RawVolumes::~RawVolumes() = default;

void RawVolumes::AddDrive(char letter, std::uint32_t driveType,
                               std::shared_ptr<platform::ModelDrive> drive) {
    std::lock_guard lock(mutex_);
    PlugLocked(Upper(letter), driveType, std::move(drive), std::nullopt);
}

void RawVolumes::AddDrive(char letter, std::uint32_t driveType,
                               std::shared_ptr<EmulatedScsiDisk> disk) {
    AddDrive(letter, driveType, std::make_shared<platform::EmulatedDiskDrive>(std::move(disk)));
}

bool RawVolumes::Replug(char letter) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(Upper(letter));
    if (found == entries_.end()) return false;
    std::shared_ptr<Entry> old = found->second;
    PlugLocked(old->letter, old->driveType, old->drive, old->deviceNumber);
    return true;
}

void RawVolumes::PlugLocked(char letter, std::uint32_t driveType,
                                 std::shared_ptr<platform::ModelDrive> drive,
                                 std::optional<std::uint32_t> deviceNumber) {
    auto entry = std::make_shared<Entry>(Entry{letter, driveType, std::move(drive), 0, nextPlugging_++});
    auto old = entries_.find(letter);
    if (old != entries_.end()) {
        entry->deviceNumber = old->second->deviceNumber;
        Retire(*old->second);
    } else {
        entry->deviceNumber = nextDeviceNumber_++;
    }
    if (deviceNumber) entry->deviceNumber = *deviceNumber;
    // The disk starts: its partition table is read, and the system mounts
    // the volume's file system at once (AutoPlay and Explorer look at it).
    entry->volumeStart = entry->drive->ReadVolumeStart();
    if (entry->volumeStart) {
        std::uint32_t ignored = 0;
        entry->mounted = entry->drive->Mount(entry->volumeStart, &ignored);
    }
    entries_[letter] = entry;
    DesktopReopens(*entry);
}

void RawVolumes::DesktopReopens(Entry& entry) {
    const bool holds = std::find(desktopHolds_.begin(), desktopHolds_.end(), entry.letter) != desktopHolds_.end();
    if (holds && entry.present && entry.lockedBy == nullptr && entry.foreignHandles == 0) entry.foreignHandles = 1;
}

// The entry's drive is gone: its handles fail, and a lock it held is given back.
void RawVolumes::Retire(Entry& entry) {
    entry.present = false;
    entry.foreignHandles = 0;
    if (entry.lockedBy != nullptr) {
        entry.lockedBy = nullptr;
        entry.drive->ReleaseLock();
    }
}

bool RawVolumes::RemoveDrive(char letter) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(Upper(letter));
    if (found == entries_.end()) return false;
    Retire(*found->second);
    entries_.erase(found);
    return true;
}

const RawVolumes::Entry* RawVolumes::FindLocked(char letter) const {
    auto found = entries_.find(Upper(letter));
    return found == entries_.end() ? nullptr : found->second.get();
}

std::shared_ptr<platform::ModelDrive> RawVolumes::Drive(char letter) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(letter);
    return entry == nullptr ? nullptr : entry->drive;
}

std::shared_ptr<EmulatedScsiDisk> RawVolumes::Disk(char letter) const {
    auto emulated = std::dynamic_pointer_cast<platform::EmulatedDiskDrive>(Drive(letter));
    return emulated == nullptr ? nullptr : emulated->Disk();
}

void RawVolumes::SetDeviceNumber(char letter, std::uint32_t deviceNumber) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(Upper(letter));
    if (found != entries_.end()) found->second->deviceNumber = deviceNumber;
}

std::optional<std::uint32_t> RawVolumes::DeviceNumber(char letter) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(letter);
    if (entry == nullptr) return std::nullopt;
    return entry->deviceNumber;
}

std::uint64_t RawVolumes::Plugging(char letter) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(letter);
    return entry == nullptr ? 0 : entry->plugging;
}

bool RawVolumes::IsPresent(char letter) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(letter);
    return entry != nullptr && entry->drive->IsPresent();
}

bool RawVolumes::IsVolumePath(const char* path) {
    return path != nullptr && std::strlen(path) == 6 && std::strncmp(path, "\\\\.\\", 4) == 0 &&
           std::isalpha(static_cast<unsigned char>(path[4])) && path[5] == ':';
}

bool RawVolumes::IsPhysicalDiskPath(const char* path) {
    const std::size_t prefix = sizeof kPhysicalDiskPrefix - 1;
    if (path == nullptr || std::strlen(path) <= prefix) return false;
    for (std::size_t index = 0; index < prefix; ++index) {
        if (Upper(path[index]) != Upper(kPhysicalDiskPrefix[index])) return false;
    }
    for (const char* digit = path + prefix; *digit != '\0'; ++digit) {
        if (!std::isdigit(static_cast<unsigned char>(*digit))) return false;
    }
    return true;
}

platform::Handle RawVolumes::AddHandle(const std::shared_ptr<Entry>& entry, std::uint32_t access,
                                       std::shared_ptr<ScsiTarget> target, bool physicalDisk) {
    auto handle = reinterpret_cast<platform::Handle>(kFirstHandleValue + 4 * nextHandle_++);
    handles_[handle] = {entry, (access & GENERIC_READ) != 0, (access & GENERIC_WRITE) != 0, std::move(target),
                        physicalDisk};
    if (!physicalDisk) ++entry->openHandles;
    Record(VolumeEvent::Kind::Open, entry->letter, handle, 0);
    return handle;
}

platform::Handle RawVolumes::Open(const char* path, std::uint32_t access,
                                       std::uint32_t* error) {
    if (IsPhysicalDiskPath(path)) {
        const unsigned long number = std::strtoul(path + sizeof kPhysicalDiskPrefix - 1, nullptr, 10);
        char letter = 0;
        {
            std::lock_guard lock(mutex_);
            for (const auto& [entryLetter, entry] : entries_) {
                if (entry->deviceNumber == number) letter = entryLetter;
            }
        }
        if (letter != 0) return OpenDisk(letter, access, error);
        *error = ERROR_FILE_NOT_FOUND;
        return kInvalidHandle;
    }
    std::lock_guard lock(mutex_);
    if (!IsVolumePath(path)) {
        *error = ERROR_FILE_NOT_FOUND;
        return kInvalidHandle;
    }
    char letter = Upper(path[4]);
    auto found = entries_.find(letter);
    std::unique_ptr<ScsiTarget> target;
    if (found == entries_.end() || !found->second->drive->IsPresent()) {
        *error = ERROR_FILE_NOT_FOUND;
    } else if (TakeCallFault(letter, std::nullopt, error)) {
        // error set by the fault
    } else if (!elevated_ && (access & (GENERIC_READ | GENERIC_WRITE)) != 0) {
        *error = ERROR_ACCESS_DENIED;
    } else if (found->second->lockedBy != nullptr) {
        *error = ERROR_ACCESS_DENIED;
    } else if (target = found->second->drive->OpenTarget((access & GENERIC_WRITE) != 0, error);
               target == nullptr && *error != 0) {
        // error set by the drive
    } else {
        *error = 0;
        return AddHandle(found->second, access, std::move(target), false);
    }
    Record(VolumeEvent::Kind::Open, letter, kInvalidHandle, *error);
    return kInvalidHandle;
}

platform::Handle RawVolumes::OpenDisk(char letter, std::uint32_t access, std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    letter = Upper(letter);
    auto found = entries_.find(letter);
    if (found == entries_.end() || !found->second->drive->IsPresent()) {
        *error = ERROR_FILE_NOT_FOUND;
    } else if (!elevated_ && (access & (GENERIC_READ | GENERIC_WRITE)) != 0) {
        *error = ERROR_ACCESS_DENIED;
    } else {
        *error = 0;
        return AddHandle(found->second, access, nullptr, true);
    }
    Record(VolumeEvent::Kind::Open, letter, kInvalidHandle, *error);
    return kInvalidHandle;
}

bool RawVolumes::IsVolumeHandle(platform::Handle handle) const {
    std::lock_guard lock(mutex_);
    return handles_.count(handle) != 0;
}

char RawVolumes::LetterOf(platform::Handle handle) const {
    std::lock_guard lock(mutex_);
    auto found = handles_.find(handle);
    return found == handles_.end() ? 0 : found->second.entry->letter;
}

bool RawVolumes::Close(platform::Handle handle, std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    auto found = handles_.find(handle);
    if (found == handles_.end()) {
        ++invalidCloses_;
        *error = ERROR_INVALID_HANDLE;
        Record(VolumeEvent::Kind::Close, 0, handle, *error);
        return false;
    }
    // The handle may hold the last reference to an entry whose drive was
    // replaced: kept alive until the desktop has had its look.
    const std::shared_ptr<Entry> held = found->second.entry;
    Entry& entry = *held;
    if (entry.lockedBy == handle) {
        entry.lockedBy = nullptr;
        entry.drive->ReleaseLock();
    }
    if (!found->second.physicalDisk) --entry.openHandles;
    Record(VolumeEvent::Kind::Close, entry.letter, handle, 0);
    handles_.erase(found);
    DesktopReopens(entry);
    *error = 0;
    return true;
}

bool RawVolumes::Control(platform::Handle handle, std::uint32_t code, void* in,
                              std::uint32_t inSize, void* out, std::uint32_t outSize,
                              std::uint32_t* bytesReturned, std::uint32_t* error) {
    std::unique_lock lock(mutex_);
    if (bytesReturned != nullptr) *bytesReturned = 0;
    auto found = handles_.find(handle);
    if (found == handles_.end()) {
        *error = ERROR_INVALID_HANDLE;
        return false;
    }
    OpenVolume volume = found->second;  // a copy: the handle may be closed while unlocked below
    const Entry& entry = *volume.entry;
    VolumeEvent::Kind kind = code == IOCTL_SCSI_PASS_THROUGH_DIRECT ? VolumeEvent::Kind::PassThrough
                             : code == FSCTL_LOCK_VOLUME            ? VolumeEvent::Kind::Lock
                             : code == FSCTL_UNLOCK_VOLUME          ? VolumeEvent::Kind::Unlock
                             : code == FSCTL_DISMOUNT_VOLUME        ? VolumeEvent::Kind::Dismount
                             : code == IOCTL_DISK_UPDATE_PROPERTIES ? VolumeEvent::Kind::UpdateProperties
                                                                    : VolumeEvent::Kind::OtherControl;
    std::uint32_t result = 0;
    if (TakeCallFault(entry.letter, code, &result)) {
        // result set by the fault
    } else if (!entry.present) {
        result = kErrorDeviceNotConnected;
    } else if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER) {
        result = ReportDeviceNumber(volume, out, outSize, bytesReturned);
    } else if (volume.physicalDisk) {
        // A disk handle takes the disk's own requests only.
        result = kind == VolumeEvent::Kind::UpdateProperties ? UpdateProperties(entry) : ERROR_NOT_SUPPORTED;
    } else if (kind == VolumeEvent::Kind::Lock || kind == VolumeEvent::Kind::Unlock) {
        result = LockOrUnlock(handle, volume, kind == VolumeEvent::Kind::Lock);
    } else if (kind == VolumeEvent::Kind::Dismount) {
        result = Dismount(handle, *volume.entry);
    } else if (kind == VolumeEvent::Kind::PassThrough) {
        result = PassThrough(lock, handle, volume, in, inSize, out, outSize, bytesReturned);
    } else {
        result = ERROR_NOT_SUPPORTED;
    }
    Record(kind, entry.letter, handle, result);
    *error = result;
    return result == 0;
}

std::uint32_t RawVolumes::LockOrUnlock(platform::Handle handle, OpenVolume& volume, bool lock) {
    Entry& entry = *volume.entry;
    if (lock) {
        if (entry.lockedBy == handle) return 0;
        if (entry.lockedBy != nullptr || entry.openHandles > 1 || entry.foreignHandles > 0) {
            return ERROR_ACCESS_DENIED;
        }
        if (std::uint32_t refused = entry.drive->TakeLock(); refused != 0) return refused;
        entry.lockedBy = handle;
        return 0;
    }
    if (entry.lockedBy != handle) return kErrorNotLocked;
    entry.lockedBy = nullptr;
    entry.drive->ReleaseLock();
    DesktopReopens(entry);
    return 0;
}

// The file system lets go of the volume, whoever uses it; only another
// handle's lock keeps it mounted.
std::uint32_t RawVolumes::Dismount(platform::Handle handle, Entry& entry) {
    if (entry.lockedBy != nullptr && entry.lockedBy != handle) return ERROR_ACCESS_DENIED;
    entry.mounted.reset();
    entry.foreignHandles = 0;
    return 0;
}

// The partition table is read again; a volume that moved is replaced by a
// new one, as after a restart (its handles and mounted file system end).
std::uint32_t RawVolumes::UpdateProperties(const Entry& entry) {
    const std::optional<std::uint32_t> start = entry.drive->ReadVolumeStart();
    if (start == entry.volumeStart) return 0;
    auto current = entries_.find(entry.letter);
    if (current == entries_.end() || current->second.get() != &entry) return 0;
    PlugLocked(entry.letter, entry.driveType, entry.drive, entry.deviceNumber);
    return 0;
}

std::uint32_t RawVolumes::PassThrough(std::unique_lock<std::mutex>& lock, platform::Handle handle,
                                           OpenVolume& volume, void* in, std::uint32_t inSize, void* out,
                                           std::uint32_t outSize, std::uint32_t* bytesReturned) {
    if (!volume.canRead || !volume.canWrite) return ERROR_ACCESS_DENIED;
    if (volume.target == nullptr) return ERROR_NOT_SUPPORTED;
    PassThroughCall call;
    if (out == nullptr) return ERROR_INVALID_PARAMETER;
    if (std::uint32_t refused = ReadPassThroughCall(in, inSize, outSize, &call); refused != 0) return refused;
    const ScsiRequest request = call.Request();
    if (volume.entry->lockedBy != handle && !volume.entry->drive->AllowedUnlocked(request)) {
        return ERROR_ACCESS_DENIED;
    }
    // The target serialises its own commands; those of other volumes need not wait.
    lock.unlock();
    const ScsiOutcome outcome = volume.target->Execute(request);
    lock.lock();
    return WritePassThroughOutcome(call, outcome, out, bytesReturned);
}

std::uint32_t RawVolumes::ReportDeviceNumber(const OpenVolume& volume, void* out, std::uint32_t outSize,
                                                  std::uint32_t* bytesReturned) {
    if (out == nullptr || outSize < sizeof(platform::STORAGE_DEVICE_NUMBER)) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    platform::STORAGE_DEVICE_NUMBER number{FILE_DEVICE_DISK, volume.entry->deviceNumber,
                                           volume.physicalDisk ? kWholeDisk : kFirstPartition};
    std::memcpy(out, &number, sizeof number);
    if (bytesReturned != nullptr) *bytesReturned = sizeof number;
    return 0;
}

std::uint32_t RawVolumes::GetLogicalDriveStrings(std::uint32_t bufferLength,
                                                      char* buffer) const {
    std::lock_guard lock(mutex_);
    // "E:\" NUL for each present drive, then a final NUL; the result leaves
    // the final NUL out, or is the size needed (with it) when it does not fit.
    std::string text;
    for (const auto& [letter, entry] : entries_) {
        if (!entry->drive->IsPresent()) continue;
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

std::uint32_t RawVolumes::GetDriveType(const char* rootPath) const {
    std::lock_guard lock(mutex_);
    if (rootPath == nullptr || !std::isalpha(static_cast<unsigned char>(rootPath[0])) ||
        rootPath[1] != ':' || !(rootPath[2] == '\0' || (rootPath[2] == '\\' && rootPath[3] == '\0'))) {
        return DRIVE_NO_ROOT_DIR;
    }
    const Entry* entry = FindLocked(rootPath[0]);
    return entry == nullptr || !entry->drive->IsPresent() ? DRIVE_NO_ROOT_DIR : entry->driveType;
}

std::shared_ptr<platform::MountedVolume> RawVolumes::Mounted(char letter, std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(Upper(letter));
    if (found == entries_.end() || !found->second->drive->IsPresent()) {
        *error = kErrorPathNotFound;
        return nullptr;
    }
    Entry& entry = *found->second;
    if (entry.lockedBy != nullptr) {
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    if (entry.mounted == nullptr) entry.mounted = entry.drive->Mount(entry.volumeStart, error);
    if (entry.mounted != nullptr) *error = 0;
    return entry.mounted;
}

std::optional<std::uint32_t> RawVolumes::VolumeStart(char letter) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(letter);
    return entry == nullptr ? std::nullopt : entry->volumeStart;
}

void RawVolumes::SetElevated(bool elevated) {
    std::lock_guard lock(mutex_);
    elevated_ = elevated;
}

bool RawVolumes::Elevated() const {
    std::lock_guard lock(mutex_);
    return elevated_;
}

void RawVolumes::HoldVolume(char letter) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(Upper(letter));
    if (found != entries_.end() && found->second->lockedBy == nullptr) ++found->second->foreignHandles;
}

void RawVolumes::LetGoOfVolume(char letter) {
    std::lock_guard lock(mutex_);
    auto found = entries_.find(Upper(letter));
    if (found != entries_.end()) found->second->foreignHandles = 0;
}

void RawVolumes::SetDesktopHolds(char letter, bool holds) {
    std::lock_guard lock(mutex_);
    letter = Upper(letter);
    std::erase(desktopHolds_, letter);
    if (holds) desktopHolds_.push_back(letter);
    auto found = entries_.find(letter);
    if (found != entries_.end()) DesktopReopens(*found->second);
}

std::size_t RawVolumes::ForeignHandleCount(char letter) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(letter);
    return entry == nullptr ? 0 : entry->foreignHandles;
}

void RawVolumes::FailOpen(char letter, std::uint32_t error, unsigned occurrence) {
    std::lock_guard lock(mutex_);
    callFaults_.push_back({Upper(letter), std::nullopt, error,
                           occurrence == 0 ? 0 : occurrence - 1, occurrence == 0});
}

void RawVolumes::FailControl(char letter, std::uint32_t code, std::uint32_t error,
                                  unsigned occurrence) {
    std::lock_guard lock(mutex_);
    callFaults_.push_back(
        {Upper(letter), code, error, occurrence == 0 ? 0 : occurrence - 1, occurrence == 0});
}

void RawVolumes::ClearCallFaults() {
    std::lock_guard lock(mutex_);
    callFaults_.clear();
}

bool RawVolumes::TakeCallFault(char letter, std::optional<std::uint32_t> code,
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

void RawVolumes::Record(VolumeEvent::Kind kind, char letter, platform::Handle handle,
                             std::uint32_t error) {
    events_.push_back({kind, letter, handle, error});
}

std::size_t RawVolumes::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

std::size_t RawVolumes::InvalidCloseCount() const {
    std::lock_guard lock(mutex_);
    return invalidCloses_;
}

bool RawVolumes::IsLocked(char letter) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(letter);
    return entry != nullptr && entry->lockedBy != nullptr;
}

std::vector<VolumeEvent> RawVolumes::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void RawVolumes::ClearEvents() {
    std::lock_guard lock(mutex_);
    events_.clear();
}
