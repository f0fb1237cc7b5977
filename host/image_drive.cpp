#include "host/image_drive.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "host/fat_volume_start.h"
#include "host/mtools_volume.h"
#include "winmodel/emulated_scsi_disk.h"

namespace platform::host {

namespace {

constexpr char kVolumeLetter = 'V';  // the letter inside this drive's own volume table
constexpr const char* kVolumePath = "\\\\.\\V:";
constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kErrorUnrecognizedVolume = 1005;  // ERROR_UNRECOGNIZED_VOLUME
constexpr std::uint32_t kErrorInvalidName = 123;          // ERROR_INVALID_NAME
constexpr std::uint32_t kErrorPathNotFound = 3;           // ERROR_PATH_NOT_FOUND

const DiskIdentity kImageIdentity{"VORN", "Image File", "1.0", true};

std::atomic<unsigned> nextSerial{1};

// A name in the volume's root: no folders, nothing the FAT cannot hold, and
// nothing that would leave the scratch folder when used as a host file name.
bool IsRootFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char character : name) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || std::string_view("\\/:*?\"<>|").find(character) != std::string_view::npos) return false;
    }
    return true;
}

}  // namespace

class ImageDrive::Volume : public HostVolume {
public:
    Volume(std::shared_ptr<ImageDrive> drive, Handle handle) : drive_(std::move(drive)), handle_(handle) {}
    ~Volume() override {
        std::uint32_t error = 0;
        drive_->volumes_.Close(handle_, &error);
    }
    std::uint32_t Control(std::uint32_t code, void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
                          std::uint32_t* bytesReturned) override {
        std::uint32_t error = 0;
        drive_->volumes_.Control(handle_, code, in, inSize, out, outSize, bytesReturned, &error);
        return error;
    }

private:
    std::shared_ptr<ImageDrive> drive_;
    Handle handle_;
};

class ImageDrive::File : public MountedFile {
public:
    File(std::shared_ptr<ImageDrive> drive, std::uint64_t generation, std::string name)
        : drive_(std::move(drive)), generation_(generation), name_(std::move(name)) {}
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        {
            std::lock_guard lock(drive_->mutex_);
            if (drive_->generation_ != generation_) return kErrorDeviceNotConnected;
        }
        bytes_.append(static_cast<const char*>(data), size);
        return 0;
    }
    std::uint32_t Close() override { return drive_->CommitFile(generation_, name_, bytes_); }

private:
    std::shared_ptr<ImageDrive> drive_;
    std::uint64_t generation_;
    std::string name_;
    std::string bytes_;
};

ImageDrive::ImageDrive(std::string path, unsigned serial) : path_(std::move(path)), serial_(serial) {}

ImageDrive::~ImageDrive() {
    if (!scratchDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratchDir_, ignored);
    }
}

std::shared_ptr<ImageDrive> ImageDrive::Open(const std::string& path) {
    std::shared_ptr<ImageDrive> drive(new ImageDrive(path, nextSerial++));
    if (drive->AttachDisk() == nullptr) return nullptr;
    return drive;
}

std::shared_ptr<EmulatedScsiDisk> ImageDrive::AttachDisk() {
    std::unique_ptr<BlockStore> store = OpenFileBlockStore(path_);
    if (store == nullptr) return nullptr;
    auto disk = std::make_shared<EmulatedScsiDisk>(std::move(store));
    disk->SetIdentity(kImageIdentity);
    // Replacing the volume's drive cuts the handles of the old one off.
    volumes_.AddDrive(kVolumeLetter, DRIVE_REMOVABLE, disk);
    std::lock_guard lock(mutex_);
    ++generation_;
    return disk;
}

std::shared_ptr<EmulatedScsiDisk> ImageDrive::Disk() const { return volumes_.Disk(kVolumeLetter); }

bool ImageDrive::IsPresent() {
    std::lock_guard lock(mutex_);
    return std::chrono::steady_clock::now() >= backAt_ && volumes_.Disk(kVolumeLetter) != nullptr;
}

std::string ImageDrive::InstanceId() const {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04u", serial_);
    return std::string("USBSTOR\\DISK&VEN_VORN&PROD_IMAGE_FILE&REV_1.0\\") + serial;
}

std::unique_ptr<HostVolume> ImageDrive::OpenVolume(std::uint32_t access, std::uint32_t* error) {
    Handle handle = volumes_.Open(kVolumePath, access, error);
    if (handle == kInvalidHandle) return nullptr;
    return std::make_unique<Volume>(shared_from_this(), handle);
}

std::uint32_t ImageDrive::Restart() {
    {
        std::lock_guard lock(mutex_);
        backAt_ = std::chrono::steady_clock::now() + kAwayAfterRestart;
    }
    volumes_.RemoveDrive(kVolumeLetter);
    if (AttachDisk() == nullptr) {
        std::cerr << "image drive: " << path_ << " cannot be opened again after the restart\n";
        return ERROR_IO_DEVICE;
    }
    return 0;
}

bool ImageDrive::MountedVolumeOffset(std::uint64_t* offset) {
    std::shared_ptr<EmulatedScsiDisk> disk = Disk();
    if (disk == nullptr) return false;
    const std::optional<std::uint32_t> start = FindFatVolumeStart([&](std::uint32_t lba, std::uint8_t* sector) {
        return disk->ReadBytes(std::uint64_t{lba} * kSectorSize, sector, kSectorSize);
    });
    if (!start) return false;
    *offset = std::uint64_t{*start} * kSectorSize;
    return true;
}

std::unique_ptr<MountedFile> ImageDrive::CreateMountedFile(const std::string& name, std::uint32_t* error) {
    if (!IsRootFileName(name)) {
        *error = kErrorInvalidName;
        return nullptr;
    }
    if (!IsPresent()) {
        *error = kErrorPathNotFound;
        return nullptr;
    }
    std::uint64_t offset = 0;
    if (!MountedVolumeOffset(&offset)) {
        *error = kErrorUnrecognizedVolume;
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    return std::make_unique<File>(shared_from_this(), generation_, name);
}

std::uint32_t ImageDrive::CommitFile(std::uint64_t generation, const std::string& name, const std::string& bytes) {
    {
        std::lock_guard lock(mutex_);
        if (generation_ != generation) return kErrorDeviceNotConnected;
    }
    std::uint64_t offset = 0;
    if (!MountedVolumeOffset(&offset)) return kErrorUnrecognizedVolume;

    std::lock_guard tool(toolMutex_);
    if (scratchDir_.empty()) {
        std::error_code noTempFolder;
        std::filesystem::path base = std::filesystem::temp_directory_path(noTempFolder);
        if (noTempFolder) base = "/tmp";
        std::string pattern = (base / "vorn-image-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::cerr << "image drive: no scratch folder for " << name << " in " << pattern << "\n";
            return ERROR_WRITE_FAULT;
        }
        scratchDir_ = pattern;
    }
    const std::string hostPath = scratchDir_ + "/" + name;
    {
        std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::cerr << "image drive: cannot stage " << name << " in " << scratchDir_ << "\n";
            return ERROR_WRITE_FAULT;
        }
    }
    const std::string failure = MtoolsVolume(path_, offset).Copy(hostPath, name);
    std::remove(hostPath.c_str());
    if (!failure.empty()) {
        std::cerr << "image drive: " << failure;
        if (failure.back() != '\n') std::cerr << "\n";
        return ERROR_WRITE_FAULT;
    }
    return 0;
}

std::uint32_t ImageDrive::SetMountedFileAttributes(const std::string& name, std::uint32_t attributes) {
    if (!IsRootFileName(name)) return kErrorInvalidName;
    if (!IsPresent()) return kErrorPathNotFound;
    std::uint64_t offset = 0;
    if (!MountedVolumeOffset(&offset)) return kErrorUnrecognizedVolume;
    std::lock_guard tool(toolMutex_);
    const std::string failure = MtoolsVolume(path_, offset).SetAttributes(name, attributes);
    if (!failure.empty()) {
        std::cerr << "image drive: " << failure;
        if (failure.back() != '\n') std::cerr << "\n";
        return ERROR_FILE_NOT_FOUND;
    }
    return 0;
}

}  // namespace platform::host
