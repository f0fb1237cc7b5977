// The calling thread's last error code for the simulated PC.
#pragma once

#include <cstdint>

namespace platform::sim {

std::uint32_t ThreadLastError();
void SetThreadLastError(std::uint32_t error);

// Sets the last error and returns the failure value given, for the
// one-line failure paths of the calls.
template <typename Result>
Result Fail(std::uint32_t error, Result result) {
    SetThreadLastError(error);
    return result;
}

}  // namespace platform::sim
