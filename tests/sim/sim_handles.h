// Handle values of the simulated PC's files, registry keys and device lists:
// multiples of 4 in a range of their own, apart from the volume handles.
#pragma once

#include <cstdint>

namespace platform::sim {

inline constexpr std::uintptr_t kFirstServiceHandle = 0x40000000;

inline void* ServiceHandle(std::uintptr_t& next) {
    return reinterpret_cast<void*>(kFirstServiceHandle + 4 * ++next);
}

}  // namespace platform::sim
