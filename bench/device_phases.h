// The make's two device phases through the Linux backend, on an image file
// attached as a removable drive: the build (Setup with the write flag) and
// the read-back (the layout-only Setup, then VerifyDisk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The layout the builder computes for a capacity, as far as the
// benchmark's comparisons need it.
struct LayoutFacts {
    bool isFat16 = false;
    std::uint32_t partitionStart = 0;
    std::uint32_t partitionSectors = 0;
    std::uint32_t reservedSectors = 0;
    std::uint32_t sectorsPerFat = 0;
    std::uint32_t sectorsPerCluster = 0;
    std::uint32_t rootEntries = 0;
};

// False (reason in *error) when the capacity has no layout.
bool ComputeLayout(std::uint32_t sectors, LayoutFacts* layout, std::string* error);

struct PhaseSample {
    double seconds = 0;
    // The data length of every command the disk received, in order.
    std::vector<std::uint32_t> commandLengths;
    std::uint64_t bytes = 0;
    // The most heap the phase held at once beyond what was held before it.
    std::size_t peakHeapBytes = 0;
};

struct DeviceRun {
    PhaseSample build;
    PhaseSample verify;
    double syncSeconds = 0;  // fsync of the image after the build
};

// One make's device phases on a fresh sparse image of `sectors` sectors at
// `imagePath` (removed afterwards). False (reason in *error) when a phase
// fails.
bool RunDevicePhases(const std::string& imagePath, std::uint32_t sectors, DeviceRun* run,
                     std::string* error);

}  // namespace bench
