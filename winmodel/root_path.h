// Paths of files in the root of a mounted volume ("E:\IO.SYS"), the only
// files the program makes, and the names Windows refuses there.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct RootPath {
    char letter = 0;   // upper case
    std::string name;  // "IO.SYS"
};

// Splits "X:\NAME". Returns 0, or the error CreateFileA and
// SetFileAttributesA fail with: ERROR_PATH_NOT_FOUND for anything but a
// drive root and one name in it (no name, a folder, a relative path),
// ERROR_INVALID_NAME for a name Windows does not allow ("." or "..",
// control characters, any of < > : " / | ? *).
std::uint32_t SplitRootPath(const char* path, RootPath* split);

}  // namespace platform
