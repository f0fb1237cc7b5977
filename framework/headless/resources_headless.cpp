// Resources of the headless program: the tables made from the resource
// source (res/), and the program's name from its executable.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>

#include "framework/backend.h"
#include "framework/resource_data.h"

namespace {
// Icon handles are the resource id above this base, so that none is null.
constexpr std::uintptr_t kIconHandleBase = 0x7000000;
constexpr std::size_t kPathBufferSize = 4096;
}  // namespace

namespace framework::backend {

bool LoadStringResource(UINT id, std::string& text) {
    const char* found = FindStringResource(id);
    if (found == nullptr) return false;
    text = found;
    return true;
}

std::string DefaultApplicationName() {
    std::array<char, kPathBufferSize> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return "MakeVORNDisk";
    std::string name(path.data(), static_cast<std::size_t>(length));
    name = name.substr(name.find_last_of('/') + 1);
    if (const auto dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

HICON LoadIconResource(UINT id) {
    if (!HasIconResource(id)) return nullptr;
    return reinterpret_cast<HICON>(kIconHandleBase + id);
}

}  // namespace framework::backend
