#include "host/real_disk_drive.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "device/pass_through_record.h"
#include "host/fat_mount.h"
#include "host/host_errors.h"
#include "host/sg_io_pass_through.h"
#include "winmodel/emulated_volumes.h"

namespace fs = std::filesystem;

namespace platform::host {

namespace {

constexpr auto kPresencePoll = std::chrono::milliseconds(100);
constexpr std::size_t kCdbOpcode = 0;  // CDB byte 0: the operation code

// Operation codes that only read: allowed on a volume that is not locked.
constexpr std::uint8_t kReadOnlyOpcodes[] = {
    0x00,  // TEST UNIT READY
    0x03,  // REQUEST SENSE
    0x12,  // INQUIRY
    0x1A,  // MODE SENSE(6)
    0x25,  // READ CAPACITY(10)
    0x28,  // READ(10)
    0x5A,  // MODE SENSE(10)
    0x88,  // READ(16)
    0x9E,  // SERVICE ACTION IN(16): READ CAPACITY(16)
    0xA8,  // READ(12)
};

bool OnlyReads(const void* in, std::uint32_t inSize) {
    if (in == nullptr || inSize < sizeof(SCSI_PASS_THROUGH_DIRECT)) return true;  // refused later
    SCSI_PASS_THROUGH_DIRECT request;
    std::memcpy(&request, in, sizeof request);
    if (request.DataIn == SCSI_IOCTL_DATA_OUT && request.DataTransferLength > 0) return false;
    return std::find(std::begin(kReadOnlyOpcodes), std::end(kReadOnlyOpcodes), request.Cdb[kCdbOpcode]) !=
           std::end(kReadOnlyOpcodes);
}

std::string NodePath(const SystemRoots& roots, const std::string& name) {
    return (fs::path(roots.dev) / name).string();
}

bool WriteAttribute(const fs::path& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// Vendor, product and revision as Windows writes them into an ID: blanks
// become underscores, letters capitals.
std::string IdPart(const std::string& text) {
    std::string out;
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) {
            out += '_';
        } else if (c != '\\' && c != '&') {
            out += static_cast<char>(std::toupper(u));
        }
    }
    return out;
}

}  // namespace

std::string DiskInstanceId(const BlockDisk& disk) {
    std::string serial = disk.serial.empty() ? disk.scsiAddress : disk.serial;
    std::replace(serial.begin(), serial.end(), ':', '&');
    return "USBSTOR\\DISK&VEN_" + IdPart(disk.vendor) + "&PROD_" + IdPart(disk.model) + "&REV_" +
           IdPart(disk.revision) + "\\" + IdPart(serial);
}

// --- the raw volume -------------------------------------------------------

class RealDiskDrive::Volume : public HostVolume {
public:
    Volume(RealDiskDrive& drive, int fd, unsigned generation)
        : drive_(drive), fd_(fd), generation_(generation) {}
    ~Volume() override {
        drive_.VolumeClosed(this, generation_);
        ::close(fd_);
    }

    std::uint32_t Control(std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                          std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        if (bytesReturned != nullptr) *bytesReturned = 0;
        if (!drive_.Current(generation_)) return kErrorDeviceNotConnected;
        switch (code) {
        case FSCTL_LOCK_VOLUME: return drive_.TakeLock(this);
        case FSCTL_UNLOCK_VOLUME: return drive_.ReleaseLock(this);
        case IOCTL_SCSI_PASS_THROUGH_DIRECT:
            if (!OnlyReads(in, inSize) && !HoldsLock()) return ERROR_ACCESS_DENIED;
            return RunSgIoPassThrough(SgIoOnDescriptor(fd_), in, inSize, out, outSize, bytesReturned);
        default: return ERROR_NOT_SUPPORTED;
        }
    }

private:
    bool HoldsLock() const {
        std::lock_guard lock(drive_.mutex_);
        return drive_.lockedBy_ == this;
    }

    RealDiskDrive& drive_;
    int fd_;
    unsigned generation_;
};

// --- a file on the mounted volume -----------------------------------------

class RealDiskDrive::File : public MountedFile {
public:
    File(std::shared_ptr<FatMount> mount, std::string name, int fd)
        : mount_(std::move(mount)), name_(std::move(name)), fd_(fd) {}
    ~File() override {
        if (fd_ >= 0) {
            ::close(fd_);
            mount_->Remove(name_);
        }
    }

    std::uint32_t Write(const void* data, std::uint32_t size) override {
        if (fd_ < 0) return ERROR_INVALID_HANDLE;
        return FatMount::WriteAll(fd_, data, size);
    }

    std::uint32_t Close() override {
        if (fd_ < 0) return ERROR_INVALID_HANDLE;
        std::uint32_t result = FatMount::FlushAndClose(fd_);
        fd_ = -1;
        mount_.reset();  // the last user unmounts
        return result;
    }

private:
    std::shared_ptr<FatMount> mount_;
    std::string name_;
    int fd_;
};

// --- the drive ------------------------------------------------------------

RealDiskDrive::RealDiskDrive(SystemRoots roots, const BlockDisk& disk)
    : roots_(std::move(roots)),
      scsiAddress_(disk.scsiAddress),
      instanceId_(DiskInstanceId(disk)),
      name_(disk.name) {}

RealDiskDrive::~RealDiskDrive() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

std::string RealDiskDrive::DevicePath() const {
    std::lock_guard lock(mutex_);
    return NodePath(roots_, name_);
}

bool RealDiskDrive::Current(unsigned generation) const {
    std::lock_guard lock(mutex_);
    return generation == generation_;
}

bool RealDiskDrive::IsPresent() {
    BlockDisk disk = FindDiskByScsiAddress(roots_, scsiAddress_);
    if (disk.name.empty() || disk.sectors == 0) return false;
    std::error_code error;
    if (!fs::exists(NodePath(roots_, disk.name), error)) return false;
    // The partition nodes appear just after the disk's.
    for (const BlockPartition& partition : disk.partitions) {
        if (!fs::exists(NodePath(roots_, partition.name), error)) return false;
    }
    std::lock_guard lock(mutex_);
    name_ = disk.name;
    return true;
}

std::unique_ptr<HostVolume> RealDiskDrive::OpenVolume(std::uint32_t access, std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    if (lockedBy_ != nullptr) {
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    const int mode = (access & GENERIC_WRITE) != 0 ? O_RDWR : O_RDONLY;
    int fd = ::open(NodePath(roots_, name_).c_str(), mode | O_CLOEXEC);
    if (fd < 0) {
        *error = ErrorFromErrno(errno);
        return nullptr;
    }
    ++openVolumes_;
    *error = 0;
    return std::make_unique<Volume>(*this, fd, generation_);
}

void RealDiskDrive::VolumeClosed(const Volume* volume, unsigned generation) {
    std::lock_guard lock(mutex_);
    // Handles of the disk before a restart no longer count.
    if (generation == generation_) --openVolumes_;
    if (lockedBy_ == volume) {
        ::close(lockFd_);
        lockFd_ = -1;
        lockedBy_ = nullptr;
    }
}

std::uint32_t RealDiskDrive::TakeLock(const Volume* volume) {
    std::lock_guard lock(mutex_);
    if (lockedBy_ == volume) return 0;
    if (lockedBy_ != nullptr || openVolumes_ > 1) return ERROR_ACCESS_DENIED;
    // Something may have been mounted since the disk was chosen.
    BlockDisk disk = FindDiskByScsiAddress(roots_, scsiAddress_);
    if (disk.name != name_ || !disk.refusal.empty()) {
        std::fprintf(stderr, "makevorndisk: /dev/%s %s; not writing to it\n", name_.c_str(),
                     disk.refusal.empty() ? "has changed" : disk.refusal.c_str());
        return ERROR_ACCESS_DENIED;
    }
    int fd = ::open(NodePath(roots_, name_).c_str(), O_RDWR | O_EXCL | O_CLOEXEC);
    if (fd < 0) {
        const int saved = errno;
        std::fprintf(stderr, "makevorndisk: cannot open /dev/%s exclusively: %s\n", name_.c_str(),
                     std::strerror(saved));
        return saved == EBUSY ? ERROR_ACCESS_DENIED : ErrorFromErrno(saved);
    }
    lockFd_ = fd;
    lockedBy_ = volume;
    return 0;
}

std::uint32_t RealDiskDrive::ReleaseLock(const Volume* volume) {
    std::lock_guard lock(mutex_);
    if (lockedBy_ != volume) return kErrorNotLocked;
    // Pages of the disk cached before the raw writes are stale now.
    ::ioctl(lockFd_, BLKFLSBUF, 0);
    ::close(lockFd_);
    lockFd_ = -1;
    lockedBy_ = nullptr;
    return 0;
}

std::uint32_t RealDiskDrive::Restart() {
    std::string name;
    {
        std::lock_guard lock(mutex_);
        ++generation_;  // handles of the disk as it was fail from now on
        openVolumes_ = 0;
        if (lockedBy_ != nullptr) {
            ::close(lockFd_);
            lockFd_ = -1;
            lockedBy_ = nullptr;
        }
        name = name_;
    }
    unsigned host = 0, channel = 0, target = 0, lun = 0;
    const bool scsi = std::sscanf(scsiAddress_.c_str(), "%u:%u:%u:%u", &host, &channel, &target, &lun) == 4;
    const fs::path sys(roots_.sys);
    if (scsi && WriteAttribute(sys / "block" / name / "device" / "delete", "1")) {
        std::ostringstream address;
        address << channel << ' ' << target << ' ' << lun;
        const fs::path scan = sys / "class" / "scsi_host" / ("host" + std::to_string(host)) / "scan";
        if (!WriteAttribute(scan, address.str())) {
            std::fprintf(stderr, "makevorndisk: cannot rescan %s: %s\n", scan.c_str(), std::strerror(errno));
            return ErrorFromErrno(errno);
        }
    } else {
        // Without the SCSI device's sysfs controls: drop the cached pages
        // and let the kernel read the new partition table.
        int fd = ::open(NodePath(roots_, name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return ErrorFromErrno(errno);
        ::ioctl(fd, BLKFLSBUF, 0);
        const bool reread = ::ioctl(fd, BLKRRPART, 0) == 0;
        const int saved = errno;
        ::close(fd);
        if (!reread) {
            std::fprintf(stderr, "makevorndisk: cannot re-read the partitions of /dev/%s: %s\n",
                         name.c_str(), std::strerror(saved));
            return ErrorFromErrno(saved);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + restartWait_;
    while (!IsPresent() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPresencePoll);
    }
    return 0;
}

std::string RealDiskDrive::FindPartitionNode() const {
    BlockDisk disk = FindDiskByScsiAddress(roots_, scsiAddress_);
    if (disk.partitions.empty()) return {};
    return NodePath(roots_, disk.partitions.front().name);
}

std::shared_ptr<FatMount> RealDiskDrive::AcquireMount(std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    if (std::shared_ptr<FatMount> mount = mount_.lock()) return mount;
    const std::string partition = FindPartitionNode();
    if (partition.empty()) {
        std::fprintf(stderr, "makevorndisk: the disk has no partition to mount\n");
        *error = kErrorDeviceNotConnected;
        return nullptr;
    }
    std::string message;
    std::shared_ptr<FatMount> mount = FatMount::Mount(partition, error, &message);
    if (mount == nullptr) std::fprintf(stderr, "makevorndisk: %s\n", message.c_str());
    mount_ = mount;
    return mount;
}

std::unique_ptr<MountedFile> RealDiskDrive::CreateMountedFile(const std::string& name,
                                                              std::uint32_t* error) {
    if (!IsRootFileName(name)) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    std::shared_ptr<FatMount> mount = AcquireMount(error);
    if (mount == nullptr) return nullptr;
    int fd = mount->CreateFile(name, error);
    if (fd < 0) return nullptr;
    return std::make_unique<File>(std::move(mount), name, fd);
}

std::uint32_t RealDiskDrive::SetMountedFileAttributes(const std::string& name,
                                                      std::uint32_t attributes) {
    std::uint32_t error = 0;
    std::shared_ptr<FatMount> mount = AcquireMount(&error);
    if (mount == nullptr) return error;
    return mount->SetAttributes(name, attributes);
}

// --- choosing a disk ------------------------------------------------------

RemovableDiskList ListRemovableDisks(const SystemRoots& roots) {
    RemovableDiskList list;
    for (const BlockDisk& disk : ScanBlockDisks(roots, &list.error)) {
        if (!disk.refusal.empty()) continue;
        list.disks.push_back({NodePath(roots, disk.name), disk.sectors * 512, disk.vendor, disk.model});
    }
    return list;
}

std::unique_ptr<HostDrive> OpenRemovableDisk(const SystemRoots& roots, const std::string& devicePath,
                                             std::string* error) {
    std::error_code code;
    const fs::path node = fs::canonical(devicePath, code);
    if (code) {
        *error = devicePath + ": " + code.message();
        return nullptr;
    }
    std::string scanError;
    std::vector<BlockDisk> disks = ScanBlockDisks(roots, &scanError);
    if (!scanError.empty()) {
        *error = scanError;
        return nullptr;
    }
    const std::string name = node.filename().string();
    auto found = std::find_if(disks.begin(), disks.end(),
                              [&](const BlockDisk& disk) { return disk.name == name; });
    if (found == disks.end() || fs::canonical(NodePath(roots, name), code) != node) {
        *error = devicePath + " is not a whole disk (name the disk, such as /dev/sdb, not a partition)";
        return nullptr;
    }
    // A real node must be the disk sysfs describes, not another one of that name.
    struct stat info {};
    if (::stat(node.c_str(), &info) == 0 && S_ISBLK(info.st_mode) &&
        std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)) != found->dev) {
        *error = devicePath + " is not the block device sysfs lists as " + name;
        return nullptr;
    }
    if (!found->refusal.empty()) {
        *error = "refusing " + devicePath + ": it " + found->refusal;
        return nullptr;
    }
    if (found->scsiAddress.empty()) {
        *error = "refusing " + devicePath + ": it is not a SCSI disk";
        return nullptr;
    }
    // Find out now, before anything is written, that the make can finish:
    // the raw writes need the node open for writing, the payload files a
    // mount, which only root may make.
    if (S_ISBLK(info.st_mode)) {
        if (::geteuid() != 0) {
            *error = "writing " + devicePath + " needs root: the new volume is mounted to copy the files";
            return nullptr;
        }
        int probe = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
        if (probe < 0) {
            *error = "cannot open " + devicePath + " for writing: " + std::strerror(errno);
            return nullptr;
        }
        ::close(probe);
    }
    error->clear();
    return std::make_unique<RealDiskDrive>(roots, *found);
}

}  // namespace platform::host
