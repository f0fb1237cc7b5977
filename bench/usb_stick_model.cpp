#include "bench/usb_stick_model.h"

namespace bench {

namespace {
constexpr std::uint64_t kTransferLimitBytes = 64 * 1024;
}

double UsbStickModel::Seconds(const std::vector<std::uint32_t>& commandLengths) const {
    double seconds = 0;
    for (std::uint32_t length : commandLengths) {
        seconds += commandLatencySeconds + static_cast<double>(length) / bytesPerSecond;
    }
    return seconds;
}

double UsbStickModel::TransferLimitSeconds(std::uint64_t bytes) const {
    std::uint64_t commands = (bytes + kTransferLimitBytes - 1) / kTransferLimitBytes;
    return static_cast<double>(commands) * commandLatencySeconds +
           static_cast<double>(bytes) / bytesPerSecond;
}

}  // namespace bench
