#include "fatdisk/volume_label.h"

#include <algorithm>
#include <cstring>

#include "fatdisk/on_disk_format.h"

namespace fatdisk {

std::string_view TrimVolumeLabel(std::string_view label) {
    constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
    const auto first = label.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const auto last = label.find_last_not_of(kWhiteSpace);
    return label.substr(first, last - first + 1);
}

bool WriteLabelField(std::uint8_t* field, std::string_view label) {
    const std::string_view trimmed = TrimVolumeLabel(label);
    if (trimmed.empty()) return false;
    std::memset(field, ' ', kLabelLength);
    std::memcpy(field, trimmed.data(), std::min<std::size_t>(trimmed.size(), kLabelLength));
    return true;
}

bool WriteVolumeLabelEntry(std::uint8_t* entry, std::string_view label) {
    if (!WriteLabelField(entry + kDirEntryName, label)) return false;
    entry[kDirEntryAttributes] = kAttributeVolumeLabel;
    return true;
}

}  // namespace fatdisk
