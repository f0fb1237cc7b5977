// The calling thread's last error code in the Windows model.
#pragma once

#include <cstdint>

namespace platform::model {

std::uint32_t ThreadLastError();
void SetThreadLastError(std::uint32_t error);

// Sets the last error and returns the failure value given, for the
// one-line failure paths of the calls. Like Windows, a call that succeeds
// leaves the last error as it was.
template <typename Result>
Result Fail(std::uint32_t error, Result result) {
    SetThreadLastError(error);
    return result;
}

}  // namespace platform::model
