// Files on a real disk's mounted volume, through the kernel's FAT driver:
// the first partition stays mounted (fat_mount.h) while a file is open or
// an attribute changes, and is unmounted when the last user lets go.
#include <unistd.h>

#include <cstdio>

#include "platform/win_types.h"
#include "host/fat_mount.h"
#include "host/real_disk_drive.h"
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

// The volume as the model sees it: each call takes the mount for as long
// as it needs it.
class FatVolume : public MountedVolume {
public:
    explicit FatVolume(std::shared_ptr<FatMount> mount) : mount_(std::move(mount)) {}

    std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) override {
        int fd = mount_->CreateFile(name, error);
        if (fd < 0) return nullptr;
        return std::make_unique<FatFile>(mount_, name, fd);
    }
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override {
        return mount_->SetAttributes(name, attributes);
    }

private:
    std::shared_ptr<FatMount> mount_;
};

}  // namespace

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

std::shared_ptr<MountedVolume> RealDiskDrive::Mount(std::uint32_t* error) {
    std::shared_ptr<FatMount> mount = AcquireMount(error);
    if (mount == nullptr) return nullptr;
    return std::make_shared<FatVolume>(std::move(mount));
}

}  // namespace platform::host
