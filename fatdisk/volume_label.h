// The volume label as it reaches the disk: the boot sectors' label field and
// the label entry of the root directory.
#pragma once

#include <cstdint>
#include <string_view>

namespace fatdisk {

// The label without leading and trailing white space (space, tab, CR, LF,
// VT, FF); inner blanks stay. An empty result means "no label".
std::string_view TrimVolumeLabel(std::string_view label);

// Fills the 11-byte name field with blanks and copies the trimmed label into
// it from its first byte, unchanged (no case conversion, no filtering). A
// label longer than 11 bytes is cut to 11; nothing past the field is written.
// Returns false and leaves the field untouched when the label is empty.
bool WriteLabelField(std::uint8_t* field, std::string_view label);

// Writes the 32-byte volume-label directory entry (name field and attribute
// 0x08, all else as the caller's zero fill) at the start of a root area.
// Returns false and writes nothing when the label is empty.
bool WriteVolumeLabelEntry(std::uint8_t* entry, std::string_view label);

}  // namespace fatdisk
