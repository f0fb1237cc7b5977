// The benchmark's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct BenchOptions {
    std::vector<std::uint32_t> sectors = {3915776, 15663104, 62652416, 125829120};
    int runs = 5;
    std::string workDir = ".";
    std::string csvPath = "bench-results.csv";
    double latencyMs = 1.0;
    double bandwidthMBps = 20.0;  // MB = 10^6 bytes
};

// False (message in *error) on an unknown option or a bad value; *help is
// set when the usage was asked for.
bool ParseBenchOptions(int argc, char** argv, BenchOptions* options, bool* help,
                       std::string* error);
extern const char kBenchUsage[];

}  // namespace bench
