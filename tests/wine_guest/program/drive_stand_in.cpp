// What the drive shows under Wine: the volume information of the file
// system on the stick's first partition, and the hidden and system bits
// Wine loses on vfat kept for the listing.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "tests/wine/driver/report_win32.h"
#include "tests/wine_guest/program/boot_sector_volume.h"

#include "tests/wine_guest/program/wine_stand_ins.h"

namespace wine_guest {

namespace {

// The bits Wine loses on vfat; read-only is kept by the file system itself.
constexpr std::uint32_t kKeptBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The folder of a path or pattern, with its trailing '\' ("" for none).
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

bool WineStandIns::GetVolumeInformationA(const char* rootPath, char* volumeName, std::uint32_t volumeNameSize,
                                         std::uint32_t* serialNumber, std::uint32_t* maxComponentLength,
                                         std::uint32_t* fileSystemFlags, char* fileSystemName,
                                         std::uint32_t fileSystemNameSize) {
    std::uint32_t serial = 0;
    const bool answered =
        Win32System::GetVolumeInformationA(rootPath, volumeName, volumeNameSize, &serial, maxComponentLength,
                                           fileSystemFlags, fileSystemName, fileSystemNameSize);
    char line[96];
    if (answered) {
        std::snprintf(line, sizeof line, "%s [%.32s] 0x%08X", rootPath, volumeName != nullptr ? volumeName : "",
                      static_cast<unsigned>(serial));
    } else {
        std::snprintf(line, sizeof line, "%s error %u", rootPath, static_cast<unsigned>(GetLastError()));
    }
    wine_test::Report("VOLUME-WINE", line);

    // Windows answers from the file system mounted on the volume; the rig
    // has mounted the stick's first partition there.
    const BootSectorVolume volume = ReadFirstPartitionVolume(rootPath);
    if (!volume.found) {
        wine_test::Report("VOLUME-SEEN", std::string(rootPath) + " none");
        ::SetLastError(ERROR_UNRECOGNIZED_VOLUME);
        return false;
    }
    if (volumeName != nullptr && volumeNameSize > 0) {
        std::snprintf(volumeName, volumeNameSize, "%s", volume.label.c_str());
    }
    if (serialNumber != nullptr) *serialNumber = volume.serial;
    if (fileSystemName != nullptr && fileSystemNameSize > 0) {
        std::snprintf(fileSystemName, fileSystemNameSize, "%s", volume.fileSystem.c_str());
    }
    std::snprintf(line, sizeof line, "%s [%s] 0x%08X", rootPath, volume.label.c_str(),
                  static_cast<unsigned>(volume.serial));
    wine_test::Report("VOLUME-SEEN", line);
    return true;
}

bool WineStandIns::SetFileAttributesA(const char* path, std::uint32_t attributes) {
    if (!Win32System::SetFileAttributesA(path, attributes)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    keptAttributes_[Upper(path)] = attributes & kKeptBits;
    return true;
}

platform::Handle WineStandIns::FindFirstFileA(const char* pattern, platform::WIN32_FIND_DATAA* data) {
    platform::Handle search = Win32System::FindFirstFileA(pattern, data);
    if (search == kInvalidHandle) return search;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        searchFolders_[search] = Upper(FolderOf(pattern));
    }
    AddKeptAttributes(search, data);
    return search;
}

bool WineStandIns::FindNextFileA(platform::Handle search, platform::WIN32_FIND_DATAA* data) {
    if (!Win32System::FindNextFileA(search, data)) return false;
    AddKeptAttributes(search, data);
    return true;
}

bool WineStandIns::FindClose(platform::Handle search) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        searchFolders_.erase(search);
    }
    return Win32System::FindClose(search);
}

void WineStandIns::AddKeptAttributes(platform::Handle search, platform::WIN32_FIND_DATAA* data) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto folder = searchFolders_.find(search);
    if (folder == searchFolders_.end()) return;
    const auto kept = keptAttributes_.find(folder->second + Upper(data->cFileName));
    if (kept != keptAttributes_.end()) data->dwFileAttributes |= kept->second;
}

}  // namespace wine_guest
