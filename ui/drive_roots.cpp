#include "ui/drive_roots.h"

#include <algorithm>
#include <cctype>

#include "platform/system_services.h"

std::vector<std::string> ReadDriveRoots() {
    char buffer[kDriveStringsBufferLength] = {};
    const std::uint32_t length = platform::Sys().GetLogicalDriveStringsA(kDriveStringsBufferLength, buffer);
    // A length of the buffer or more is the size the list would need.
    if (length == 0 || length >= kDriveStringsBufferLength) return {};

    std::vector<std::string> roots;
    std::uint32_t offset = 0;
    while (offset < length && buffer[offset] != '\0') {
        const char* start = buffer + offset;
        const auto rootLength = static_cast<std::size_t>(std::find(start, static_cast<const char*>(buffer + length), '\0') - start);
        std::string root(start, rootLength);
        for (char& character : root) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
        roots.push_back(std::move(root));
        offset += static_cast<std::uint32_t>(rootLength) + 1;
    }
    return roots;
}

bool IsSelectableDrive(const std::string& root) {
    if (platform::Sys().GetDriveTypeA(root.c_str()) != DRIVE_REMOVABLE) return false;
    const char letter = root.empty() ? '\0' : root[0];
    return letter != 'A' && letter != 'C' && letter != 'D';
}
