// The logical drives as the drive list and the completion worker see them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Room for all 26 drive roots of four characters ("E:\" and its NUL) and
// the empty string that ends the list.
inline constexpr std::uint32_t kDriveStringsBufferLength = 26 * 4 + 1;

// The roots of the logical drives ("E:\"), upper-cased, in the system's
// order. A failed call or an answer longer than the buffer gives none.
std::vector<std::string> ReadDriveRoots();

// Whether a drive may be chosen for a make: a removable drive whose letter
// is not A, C or D.
bool IsSelectableDrive(const std::string& root);
