// What the drive letter shows around the payload files: before the first
// one, the volume the build wrote (its serial number and label); after the
// last one, each file in the root with the size and attributes it should
// have.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// True when the file system mounted at the letter is the one the build
// wrote: serial number 0x01234567 and the label as written (cut to the
// label field, without trailing blanks). False for the old file system, a
// foreign one or none.
bool ShowsBuiltVolume(char driveLetter, std::string_view label);

// The names of the payload files (by resource id) that the root of the
// letter's volume does not hold as they should be: missing, of another
// size, or with other read-only, hidden or system bits (or a directory).
std::vector<std::string> PayloadDifferences(char driveLetter, const std::vector<unsigned>& ids);
