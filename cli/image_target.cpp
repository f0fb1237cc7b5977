#include "cli/image_target.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/arguments.h"
#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

using fatdisk::kSectorSize;

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// The reason the layout engine refuses a capacity, or empty.
std::string LayoutRefusal(std::uint32_t sectors) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 0;
    if (builder.Setup(sectors, "", false)) return {};
    return builder.m_errorText;
}

ImageTarget Failed(ImageTarget target, std::string error) {
    target.error = "makevorndisk: " + std::move(error);
    return target;
}

}  // namespace

ImageTarget PrepareImage(const std::string& path, std::optional<std::uint32_t> sectors) {
    ImageTarget target;
    target.path = path;

    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            return Failed(target, Quoted(path) + " is not a regular file; give an image file, or --device for a disk");
        }
        const std::uintmax_t bytes = fs::file_size(path, error);
        if (error) return Failed(target, "cannot read the size of " + Quoted(path) + ": " + error.message());
        if (bytes % kSectorSize != 0 || bytes / kSectorSize > UINT32_MAX) {
            return Failed(target, Quoted(path) + " holds " + std::to_string(bytes) +
                                      " bytes, which is not a whole number of 512-byte sectors from 1 to 4294967295");
        }
        target.sectors = static_cast<std::uint32_t>(bytes / kSectorSize);
        if (sectors && *sectors != target.sectors) {
            target.badSize = true;
            return Failed(target, Quoted(path) + " already exists with " + std::to_string(target.sectors) +
                                      " sectors, not " + std::to_string(*sectors) +
                                      "; remove it or leave the size out");
        }
    } else {
        target.sectors = sectors.value_or(kDefaultImageSectors);
    }

    if (const std::string refusal = LayoutRefusal(target.sectors); !refusal.empty()) {
        target.badSize = true;
        return Failed(target, "a disk of " + std::to_string(target.sectors) + " sectors cannot be made: " + refusal);
    }
    if (fs::exists(status)) return target;

    // Created only now, exclusively, so that a file that appeared meanwhile is left alone.
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr) {
        return Failed(target, "cannot create the image " + Quoted(path) + ": " + std::strerror(errno));
    }
    std::fclose(file);
    target.created = true;
    fs::resize_file(path, std::uint64_t{target.sectors} * kSectorSize, error);
    if (error) {
        RemoveCreatedImage(target);
        target.created = false;
        return Failed(target, "cannot give the image " + Quoted(path) + " its size of " +
                                  std::to_string(std::uint64_t{target.sectors} * kSectorSize) +
                                  " bytes: " + error.message());
    }
    return target;
}

void RemoveCreatedImage(const ImageTarget& target) {
    if (!target.created) return;
    std::error_code ignored;
    fs::remove(target.path, ignored);
}

}  // namespace cli
