#include "winmodel/last_error.h"

namespace platform::model {
namespace {
thread_local std::uint32_t lastError = 0;
}

std::uint32_t ThreadLastError() { return lastError; }
void SetThreadLastError(std::uint32_t error) { lastError = error; }

}  // namespace platform::model
