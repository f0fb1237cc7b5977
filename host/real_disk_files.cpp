// Files on a real disk's mounted volume, through the kernel's FAT driver:
// the first partition stays mounted (fat_mount.h) while a file is open or
// an attribute changes, and is unmounted when the last user lets go. What
// the system reports of the volume (label, serial number, root directory)
// is read from the partition's node as the kernel's partition table has it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "fatdisk/on_disk_format.h"
#include "platform/win_types.h"
#include "host/fat_mount.h"
#include "host/real_disk_drive.h"
#include "winmodel/fat_volume.h"
#include "winmodel/model_errors.h"

namespace platform::host {

namespace {

class FatFile : public MountedFile {
public:
    FatFile(std::shared_ptr<FatMount> mount, std::string name, int fd)
        : mount_(std::move(mount)), name_(std::move(name)), fd_(fd) {}
    ~FatFile() override {
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

// The volume as the model sees it: each call takes the kernel's mount for
// as long as it needs it, so that the volume is not mounted between calls
// (the lock needs it unmounted).
class KernelFatVolume : public MountedVolume {
public:
    explicit KernelFatVolume(std::shared_ptr<RealDiskDrive> drive) : drive_(std::move(drive)) {}

    std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) override {
        std::shared_ptr<FatMount> mount = drive_->AcquireMount(error);
        if (mount == nullptr) return nullptr;
        int fd = mount->CreateFile(name, error);
        if (fd < 0) return nullptr;
        return std::make_unique<FatFile>(mount, name, fd);
    }
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override {
        std::uint32_t error = 0;
        std::shared_ptr<FatMount> mount = drive_->AcquireMount(&error);
        return mount == nullptr ? error : mount->SetAttributes(name, attributes);
    }
    std::optional<VolumeInformation> Information() override {
        std::shared_ptr<FatVolume> volume = drive_->ReadPartitionVolume();
        return volume == nullptr ? std::nullopt : volume->Information();
    }
    std::optional<std::vector<DirectoryEntry>> ListRoot() override {
        std::shared_ptr<FatVolume> volume = drive_->ReadPartitionVolume();
        return volume == nullptr ? std::nullopt : volume->ListRoot();
    }

private:
    std::shared_ptr<RealDiskDrive> drive_;
};

// A partition node open for reading, closed with the last user.
struct NodeReader {
    explicit NodeReader(int fd) : fd(fd) {}
    ~NodeReader() { ::close(fd); }
    NodeReader(const NodeReader&) = delete;
    NodeReader& operator=(const NodeReader&) = delete;
    int fd;
};

}  // namespace

std::shared_ptr<FatVolume> RealDiskDrive::ReadPartitionVolume() {
    BlockDisk disk;
    {
        std::lock_guard lock(mutex_);
        disk = FindDiskByScsiAddress(roots_, scsiAddress_);
    }
    if (disk.partitions.empty()) return nullptr;
    const int fd = ::open(NodePath(disk.partitions.front().name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto reader = std::make_shared<NodeReader>(fd);
    SectorIo io = [reader](std::uint64_t lba, std::uint8_t* data, std::uint32_t count, bool write) {
        const std::size_t bytes = std::size_t{count} * fatdisk::kSectorSize;
        const auto offset = static_cast<off_t>(lba * fatdisk::kSectorSize);
        if (write) return false;  // the system's reports never write
        return ::pread(reader->fd, data, bytes, offset) == static_cast<ssize_t>(bytes);
    };
    std::uint32_t error = 0;
    return FatVolume::Mount(std::move(io), 0, &error);
}

std::shared_ptr<FatMount> RealDiskDrive::AcquireMount(std::uint32_t* error) {
    std::lock_guard lock(mutex_);
    if (std::shared_ptr<FatMount> mount = mount_.lock()) return mount;
    BlockDisk disk = FindDiskByScsiAddress(roots_, scsiAddress_);
    if (disk.partitions.empty()) {
        std::fprintf(stderr, "makevorndisk: the disk has no partition to mount\n");
        *error = kErrorDeviceNotConnected;
        return nullptr;
    }
    std::string message;
    std::shared_ptr<FatMount> mount = FatMount::Mount(NodePath(disk.partitions.front().name), error, &message);
    if (mount == nullptr) std::fprintf(stderr, "makevorndisk: %s\n", message.c_str());
    mount_ = mount;
    return mount;
}

std::shared_ptr<MountedVolume> RealDiskDrive::Mount(std::optional<std::uint32_t>, std::uint32_t* error) {
    // The kernel keeps its own partition table; mounting it once tells
    // whether the partition holds a FAT volume.
    if (AcquireMount(error) == nullptr) return nullptr;
    return std::make_shared<KernelFatVolume>(shared_from_this());
}

}  // namespace platform::host
