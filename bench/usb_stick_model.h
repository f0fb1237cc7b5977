// A USB stick as a cost model: every command takes a fixed latency plus its
// bytes at the stick's bandwidth. Computed from the commands the emulated
// disk received, with no real waiting, so that command counts show.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

struct UsbStickModel {
    double commandLatencySeconds = 0.001;
    double bytesPerSecond = 20e6;

    double Seconds(const std::vector<std::uint32_t>& commandLengths) const;
    // The same bytes in as few commands as the 64 KiB transfer limit allows.
    double TransferLimitSeconds(std::uint64_t bytes) const;
};

}  // namespace bench
