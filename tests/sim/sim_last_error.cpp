#include "tests/sim/sim_last_error.h"

namespace platform::sim {
namespace {
thread_local std::uint32_t lastError = 0;
}

std::uint32_t ThreadLastError() { return lastError; }
void SetThreadLastError(std::uint32_t error) { lastError = error; }

}  // namespace platform::sim
