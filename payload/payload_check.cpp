#include "payload/payload_check.h"

#include <cctype>
#include <cstring>
#include <optional>

#include "fatdisk/on_disk_format.h"
#include "fatdisk/volume_label.h"
#include "payload/payload_table.h"
#include "platform/system_services.h"

namespace {

// GetVolumeInformationA's label buffer: the 11 bytes of a FAT label and
// room to spare.
constexpr std::uint32_t kLabelBufferSize = 32;
constexpr std::uint32_t kComparedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// The label as a file system reports it: trimmed, cut to the label field,
// without the blanks that pad the field.
std::string ShownLabel(std::string_view label) {
    std::string shown(fatdisk::TrimVolumeLabel(label).substr(0, fatdisk::kLabelLength));
    while (!shown.empty() && shown.back() == ' ') shown.pop_back();
    return shown;
}

bool SameName(const char* left, const std::string& right) {
    if (std::strlen(left) != right.size()) return false;
    for (std::size_t index = 0; index < right.size(); ++index) {
        if (std::toupper(static_cast<unsigned char>(left[index])) !=
            std::toupper(static_cast<unsigned char>(right[index]))) {
            return false;
        }
    }
    return true;
}

struct RootEntry {
    std::string name;
    std::string shortName;
    std::uint64_t size;
    std::uint32_t attributes;
};

std::vector<RootEntry> ListRoot(char driveLetter) {
    platform::SystemServices& system = platform::Sys();
    const char pattern[] = {driveLetter, ':', '\\', '*', '\0'};
    std::vector<RootEntry> entries;
    platform::WIN32_FIND_DATAA data{};
    platform::Handle search = system.FindFirstFileA(pattern, &data);
    if (search == kInvalidHandle) return entries;
    do {
        // The structure's name fields are terminated by the system; the
        // last byte is forced so that a faulty answer cannot run past them.
        data.cFileName[sizeof data.cFileName - 1] = '\0';
        data.cAlternateFileName[sizeof data.cAlternateFileName - 1] = '\0';
        entries.push_back(RootEntry{data.cFileName, data.cAlternateFileName,
                                    (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                                    data.dwFileAttributes});
    } while (system.FindNextFileA(search, &data));
    system.FindClose(search);
    return entries;
}

// The size of the payload file's resource; empty when it cannot be found.
std::optional<std::uint32_t> ResourceSize(const PayloadFile& file) {
    platform::SystemServices& system = platform::Sys();
    platform::Module module = system.GetModuleHandleA(nullptr);
    if (module == nullptr) return std::nullopt;
    platform::ResourceInfo info = system.FindResourceA(module, file.id, file.typeName);
    if (info == nullptr) return std::nullopt;
    return system.SizeofResource(module, info);
}

// The attributes the file ends with: those of its last attribute step.
std::uint32_t FinalAttributes(const PayloadFile& file) {
    std::uint32_t attributes = 0;
    for (std::uint32_t step : PayloadAttributeSteps(file.typeName, file.id)) {
        if (step != 0) attributes = step;
    }
    return attributes;
}

}  // namespace

bool ShowsBuiltVolume(char driveLetter, std::string_view label) {
    const char root[] = {driveLetter, ':', '\\', '\0'};
    char shown[kLabelBufferSize] = {};
    std::uint32_t serial = 0;
    if (!platform::Sys().GetVolumeInformationA(root, shown, sizeof shown, &serial, nullptr, nullptr, nullptr, 0)) {
        return false;
    }
    shown[sizeof shown - 1] = '\0';
    return serial == fatdisk::kVolumeSerialNumber && shown == ShownLabel(label);
}

std::vector<std::string> PayloadDifferences(char driveLetter, const std::vector<unsigned>& ids) {
    const std::vector<RootEntry> root = ListRoot(driveLetter);
    std::vector<std::string> differences;
    for (const PayloadFile& file : kPayloadFiles) {
        bool installed = false;
        for (unsigned id : ids) installed = installed || id == file.id;
        if (!installed) continue;
        // The path format is the drive's root followed by the name.
        const std::string name = std::strchr(file.pathFormat, '\\') + 1;
        const std::optional<std::uint32_t> size = ResourceSize(file);
        bool found = false;
        for (const RootEntry& entry : root) {
            if (!SameName(entry.name.c_str(), name) && !SameName(entry.shortName.c_str(), name)) continue;
            found = size.has_value() && entry.size == *size &&
                    (entry.attributes & kComparedAttributes) == FinalAttributes(file);
            break;
        }
        if (!found) differences.push_back(name);
    }
    return differences;
}
