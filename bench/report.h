// The benchmark's results per capacity (medians of the runs), its two
// tables and its CSV file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "bench/device_phases.h"
#include "bench/usb_stick_model.h"

namespace bench {

struct SizeSummary {
    std::uint32_t sectors = 0;
    LayoutFacts layout;
    std::uint32_t mkfsSectorsPerFat = 0;
    // Medians over the runs, in seconds.
    double build = 0;
    double buildAndSync = 0;
    double verify = 0;
    double mkfs = 0;
    double copy = 0;
    // The same in every run.
    std::size_t buildCommands = 0;
    std::size_t verifyCommands = 0;
    std::uint64_t buildBytes = 0;
    std::uint64_t verifyBytes = 0;
    // The most over all runs of either phase.
    std::size_t peakHeapBytes = 0;
    // USB stick model, seconds.
    double usbBuild = 0;
    double usbBuildLimit = 0;
    double usbVerify = 0;
    double usbVerifyLimit = 0;

    // One FAT copy plus 4 MiB.
    std::uint64_t MemoryBudgetBytes() const;
};

double Median(std::vector<double> values);

void PrintHostTable(std::ostream& out, const std::vector<SizeSummary>& sizes, int runs);
void PrintUsbTable(std::ostream& out, const std::vector<SizeSummary>& sizes,
                   const UsbStickModel& model);
bool WriteCsv(const std::string& path, const std::vector<SizeSummary>& sizes,
              const UsbStickModel& model);

}  // namespace bench
