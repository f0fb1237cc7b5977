// What the build is measured against, on the same kind of file: mkfs.fat
// making a volume of the same size and cluster size, and a plain copy of
// the same byte count in 64 KiB writes (the most one command moves).
#pragma once

#include <cstdint>
#include <string>

#include "bench/device_phases.h"

namespace bench {

struct MkfsRun {
    double seconds = 0;
    std::uint32_t sectorsPerFat = 0;  // as mkfs.fat chose it, from its boot sector
};

// mkfs.fat on a fresh sparse image of `sectors` sectors, the volume at the
// partition start of `layout`. False (reason in *error) when it fails.
bool RunMkfsFat(const std::string& imagePath, std::uint32_t sectors, const LayoutFacts& layout,
                MkfsRun* run, std::string* error);

// Writes `bytes` from the start of a fresh sparse image of `sizeBytes`, in
// writes of at most 64 KiB. Seconds, or a negative value when it fails.
double RunPlainCopy(const std::string& imagePath, std::uint64_t sizeBytes, std::uint64_t bytes);

}  // namespace bench
