// Linux errno values as the Windows error codes the channel and the worker
// expect from the system calls they make.
#pragma once

#include <cstdint>

namespace platform::host {

inline constexpr std::uint32_t kErrorDiskFull = 112;  // ERROR_DISK_FULL
inline constexpr std::uint32_t kErrorBusy = 170;      // ERROR_BUSY

std::uint32_t ErrorFromErrno(int error);

}  // namespace platform::host
