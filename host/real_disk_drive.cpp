#include "host/real_disk_drive.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "device/scsi_constants.h"
#include "host/host_errors.h"
#include "host/removable_disks.h"
#include "host/sg_io_pass_through.h"
#include "platform/win_types.h"

namespace fs = std::filesystem;

namespace platform::host {

namespace {

// Operation codes that only read: allowed on a volume that is not locked.
// Every other command, and any data-out, needs the lock.
constexpr std::uint8_t kReadOnlyOpcodes[] = {
    scsi::kOpTestUnitReady,
    scsi::kOpRequestSense,
    scsi::kOpInquiry,
    scsi::kOpModeSense6,
    scsi::kOpModeSense10,
    scsi::kOpReadCapacity10,
    scsi::kOpServiceActionIn16,  // READ CAPACITY(16)
    scsi::kOpRead10,
    scsi::kOpRead12,
    scsi::kOpRead16,
};

// One raw-volume handle: the block node it opened, closed with the handle.
class NodeTarget : public ScsiTarget {
public:
    explicit NodeTarget(int fd) : fd_(fd), sgIo_(SgIoOnDescriptor(fd)) {}
    ~NodeTarget() override { ::close(fd_); }
    ScsiOutcome Execute(const ScsiRequest& request) override { return sgIo_.Execute(request); }

private:
    int fd_;
    SgIoTarget sgIo_;
};

}  // namespace

RealDiskDrive::RealDiskDrive(SystemRoots roots, const BlockDisk& disk)
    : roots_(std::move(roots)), scsiAddress_(disk.scsiAddress), instanceId_(DiskInstanceId(disk)), name_(disk.name) {}

RealDiskDrive::~RealDiskDrive() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

std::string RealDiskDrive::NodePath(const std::string& name) const { return (fs::path(roots_.dev) / name).string(); }

std::string RealDiskDrive::DevicePath() const {
    std::lock_guard lock(mutex_);
    return NodePath(name_);
}

bool RealDiskDrive::IsPresent() {
    BlockDisk disk = FindDiskByScsiAddress(roots_, scsiAddress_);
    if (disk.name.empty() || disk.sectors == 0) return false;
    std::error_code error;
    if (!fs::exists(NodePath(disk.name), error)) return false;
    // The partition nodes appear just after the disk's.
    for (const BlockPartition& partition : disk.partitions) {
        if (!fs::exists(NodePath(partition.name), error)) return false;
    }
    std::lock_guard lock(mutex_);
    name_ = disk.name;
    return true;
}

std::unique_ptr<ScsiTarget> RealDiskDrive::OpenTarget(bool write, std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    const int fd = ::open(NodePath(name_).c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        *error = ErrorFromErrno(errno);
        return nullptr;
    }
    *error = 0;
    return std::make_unique<NodeTarget>(fd);
}

std::uint32_t RealDiskDrive::TakeLock() {
    std::lock_guard lock(mutex_);
    // Something may have been mounted since the disk was chosen.
    BlockDisk disk = FindDiskByScsiAddress(roots_, scsiAddress_);
    if (disk.name != name_ || !disk.refusal.empty()) {
        std::fprintf(stderr, "makevorndisk: /dev/%s %s; not writing to it\n", name_.c_str(),
                     disk.refusal.empty() ? "has changed" : disk.refusal.c_str());
        return ERROR_ACCESS_DENIED;
    }
    int fd = ::open(NodePath(name_).c_str(), O_RDWR | O_EXCL | O_CLOEXEC);
    if (fd < 0) {
        const int saved = errno;
        std::fprintf(stderr, "makevorndisk: cannot open /dev/%s exclusively: %s\n", name_.c_str(),
                     std::strerror(saved));
        return saved == EBUSY ? ERROR_ACCESS_DENIED : ErrorFromErrno(saved);
    }
    lockFd_ = fd;
    return 0;
}

void RealDiskDrive::ReleaseLock() {
    std::lock_guard lock(mutex_);
    if (lockFd_ < 0) return;
    // Pages of the disk cached before the raw writes are stale now.
    ::ioctl(lockFd_, BLKFLSBUF, 0);
    ::close(lockFd_);
    lockFd_ = -1;
}

bool RealDiskDrive::AllowedUnlocked(const ScsiRequest& request) const {
    if (request.direction == DataDirection::Out && request.length > 0) return false;
    return std::find(std::begin(kReadOnlyOpcodes), std::end(kReadOnlyOpcodes), request.cdb[scsi::kCdbOpcode]) !=
           std::end(kReadOnlyOpcodes);
}

}  // namespace platform::host
