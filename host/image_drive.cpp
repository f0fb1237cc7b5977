#include "host/image_drive.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "fatdisk/on_disk_format.h"
#include "host/mtools_volume.h"
#include "host/scratch_folder.h"
#include "winmodel/block_store.h"
#include "winmodel/emulated_scsi_disk.h"
#include "winmodel/fat_volume.h"
#include "platform/win_types.h"
#include "winmodel/model_errors.h"

namespace platform::host {

namespace {

using fatdisk::kSectorSize;

const DiskIdentity kImageIdentity{"VORN", "Image File", "1.0", true};

std::atomic<unsigned> nextSerial{1};

void ReportToolFailure(const std::string& failure) {
    std::cerr << "image drive: " << failure;
    if (failure.back() != '\n') std::cerr << "\n";
}

// The image's bytes, with the system's reason for a read or write that
// failed said on stderr ("No space left on device"): the make itself only
// reports that a SCSI command failed.
class ReportingStore : public BlockStore {
public:
    ReportingStore(std::unique_ptr<BlockStore> store, std::string path)
        : store_(std::move(store)), path_(std::move(path)) {}
    std::uint64_t SizeBytes() const override { return store_->SizeBytes(); }
    bool Read(std::uint64_t offset, void* data, std::size_t size) override {
        errno = 0;
        return Reported(store_->Read(offset, data, size), "reading", offset);
    }
    bool Write(std::uint64_t offset, const void* data, std::size_t size) override {
        errno = 0;
        return Reported(store_->Write(offset, data, size), "writing", offset);
    }

private:
    // errno holds the failed call's reason; a file that ended early has none.
    bool Reported(bool done, const char* what, std::uint64_t offset) {
        if (!done) {
            const int error = errno;
            std::cerr << "image drive: " << what << " " << path_ << " at byte " << offset
                      << " failed: " << (error != 0 ? std::strerror(error) : "the file ended early") << "\n";
        }
        return done;
    }

    std::unique_ptr<BlockStore> store_;
    const std::string path_;
};

// The volume at the offset it was mounted at: files through mtools, what
// the system reports of it from the image as it is there now.
class MtoolsMountedVolume : public MountedVolume {
public:
    MtoolsMountedVolume(std::shared_ptr<ImageDrive> drive, std::uint32_t firstSector)
        : drive_(std::move(drive)), firstSector_(firstSector) {}
    std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) override;
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override {
        return drive_->SetFileAttributes(Offset(), name, attributes);
    }
    std::optional<VolumeInformation> Information() override {
        std::shared_ptr<FatVolume> volume = ReadVolume();
        return volume == nullptr ? std::nullopt : volume->Information();
    }
    std::optional<std::vector<DirectoryEntry>> ListRoot() override {
        std::shared_ptr<FatVolume> volume = ReadVolume();
        return volume == nullptr ? std::nullopt : volume->ListRoot();
    }

private:
    std::uint64_t Offset() const { return std::uint64_t{firstSector_} * kSectorSize; }
    std::shared_ptr<FatVolume> ReadVolume() {
        std::shared_ptr<EmulatedScsiDisk> disk = drive_->Disk();
        if (disk == nullptr) return nullptr;
        std::uint32_t error = 0;
        return FatVolume::Mount(EmulatedDiskDrive::DiskSectors(std::move(disk)), firstSector_, &error);
    }

    std::shared_ptr<ImageDrive> drive_;
    std::uint32_t firstSector_;
};

// A file buffered in memory and copied into the image when it is closed.
class BufferedFile : public MountedFile {
public:
    BufferedFile(std::shared_ptr<ImageDrive> drive, std::uint64_t offset, std::string name)
        : drive_(std::move(drive)), offset_(offset), name_(std::move(name)) {}
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        bytes_.append(static_cast<const char*>(data), size);
        return 0;
    }
    std::uint32_t Close() override { return drive_->CommitFile(offset_, name_, bytes_); }

private:
    std::shared_ptr<ImageDrive> drive_;
    std::uint64_t offset_;
    std::string name_;
    std::string bytes_;
};

std::unique_ptr<MountedFile> MtoolsMountedVolume::Create(const std::string& name, std::uint32_t* error) {
    *error = 0;
    return std::make_unique<BufferedFile>(drive_, Offset(), name);
}

}  // namespace

ImageDrive::ImageDrive(std::string path, int descriptor, unsigned serial, std::shared_ptr<EmulatedScsiDisk> disk)
    : EmulatedDiskDrive(std::move(disk)), path_(std::move(path)), descriptor_(descriptor), serial_(serial) {}

ImageDrive::~ImageDrive() {
    if (!scratchDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratchDir_, ignored);
        scratchLeftover_.Forget();
    }
    ::close(descriptor_);
}

std::shared_ptr<EmulatedScsiDisk> ImageDrive::OpenDisk() const {
    std::unique_ptr<BlockStore> store = AdoptFileBlockStore(::fcntl(descriptor_, F_DUPFD_CLOEXEC, 0));
    if (store == nullptr) return nullptr;
    auto disk = std::make_shared<EmulatedScsiDisk>(std::make_unique<ReportingStore>(std::move(store), path_));
    disk->SetIdentity(kImageIdentity);
    return disk;
}

std::shared_ptr<ImageDrive> ImageDrive::Open(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0) return nullptr;
    std::string error;
    std::shared_ptr<ImageDrive> drive = Adopt(descriptor, path, &error);
    ::close(descriptor);
    return drive;
}

std::shared_ptr<ImageDrive> ImageDrive::Adopt(int descriptor, const std::string& path, std::string* error) {
    const int held = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (held < 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    std::shared_ptr<ImageDrive> drive(new ImageDrive(path, held, nextSerial++, nullptr));
    std::shared_ptr<EmulatedScsiDisk> disk = drive->OpenDisk();
    if (disk == nullptr) {
        *error = std::strerror(errno);
        return nullptr;
    }
    drive->SetDisk(std::move(disk));
    error->clear();
    return drive;
}

bool ImageDrive::IsPresent() {
    std::lock_guard lock(mutex_);
    return std::chrono::steady_clock::now() >= backAt_ && Disk() != nullptr;
}

std::string ImageDrive::InstanceId() const {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04u", serial_);
    return std::string("USBSTOR\\DISK&VEN_VORN&PROD_IMAGE_FILE&REV_1.0\\") + serial;
}

std::uint32_t ImageDrive::Restart() {
    {
        std::lock_guard lock(mutex_);
        backAt_ = std::chrono::steady_clock::now() + kAwayAfterRestart;
    }
    std::shared_ptr<EmulatedScsiDisk> disk = OpenDisk();
    SetDisk(disk);
    if (disk == nullptr) {
        std::cerr << "image drive: " << path_ << " cannot be attached again after the restart: "
                  << std::strerror(errno) << "\n";
        return ERROR_IO_DEVICE;
    }
    return 0;
}

std::shared_ptr<MountedVolume> ImageDrive::Mount(std::optional<std::uint32_t> volumeStart, std::uint32_t* error) {
    // The file system must be there to be mounted; mtools then writes into it.
    if (EmulatedDiskDrive::Mount(volumeStart, error) == nullptr) return nullptr;
    return std::make_shared<MtoolsMountedVolume>(shared_from_this(), *volumeStart);
}

std::uint32_t ImageDrive::CommitFile(std::uint64_t offset, const std::string& name, const std::string& bytes) {
    std::lock_guard tool(toolMutex_);
    if (scratchDir_.empty()) {
        std::string error;
        scratchDir_ = MakeScratchFolder("vorn-image", &error);
        if (scratchDir_.empty()) {
            std::cerr << "image drive: " << name << " cannot be staged: " << error << "\n";
            return ERROR_WRITE_FAULT;
        }
        scratchLeftover_ = Leftover(Leftover::Kind::kFolder, scratchDir_);
    }
    // The name is a plain root name (the model's rule), so the staged file
    // stays in the scratch folder.
    const std::string hostPath = scratchDir_ + "/" + name;
    {
        std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::cerr << "image drive: cannot stage " << name << " in " << scratchDir_ << "\n";
            return ERROR_WRITE_FAULT;
        }
    }
    const std::string failure = MtoolsVolume(descriptor_, offset).Copy(hostPath, name);
    std::remove(hostPath.c_str());
    if (!failure.empty()) {
        ReportToolFailure(failure);
        return ERROR_WRITE_FAULT;
    }
    return 0;
}

std::uint32_t ImageDrive::SetFileAttributes(std::uint64_t offset, const std::string& name, std::uint32_t attributes) {
    std::lock_guard tool(toolMutex_);
    const std::string failure = MtoolsVolume(descriptor_, offset).SetAttributes(name, attributes);
    if (!failure.empty()) {
        ReportToolFailure(failure);
        return ERROR_FILE_NOT_FOUND;
    }
    return 0;
}

}  // namespace platform::host
