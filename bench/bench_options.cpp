#include "bench/bench_options.h"

#include <cstdlib>
#include <sstream>

namespace bench {

const char kBenchUsage[] =
    "usage: vorn_bench [--runs N] [--sectors S1,S2,...] [--work-dir DIR] [--csv FILE]\n"
    "                  [--latency-ms MS] [--bandwidth-mbps MB]\n"
    "Times the build and read-back on sparse image files through the Linux backend,\n"
    "against mkfs.fat and a plain copy in 64 KiB writes, and models a USB stick\n"
    "(MS per command, MB of 10^6 bytes per second).\n";

namespace {

bool ParseNumber(const std::string& text, double* value) {
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0' && *value > 0;
}

bool ParseSectorList(const std::string& text, std::vector<std::uint32_t>* sectors) {
    sectors->clear();
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        char* end = nullptr;
        unsigned long long value = std::strtoull(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || value == 0 || value > 0xFFFFFFFFull) return false;
        sectors->push_back(static_cast<std::uint32_t>(value));
    }
    return !sectors->empty();
}

}  // namespace

bool ParseBenchOptions(int argc, char** argv, BenchOptions* options, bool* help,
                       std::string* error) {
    *help = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            *help = true;
            return true;
        }
        if (i + 1 >= argc) {
            *error = option + " needs a value";
            return false;
        }
        std::string value = argv[++i];
        double number = 0;
        bool ok = true;
        if (option == "--runs") {
            ok = ParseNumber(value, &number) && number < 1000;
            options->runs = static_cast<int>(number);
            ok = ok && options->runs > 0;
        } else if (option == "--sectors") {
            ok = ParseSectorList(value, &options->sectors);
        } else if (option == "--work-dir") {
            options->workDir = value;
        } else if (option == "--csv") {
            options->csvPath = value;
        } else if (option == "--latency-ms") {
            ok = ParseNumber(value, &options->latencyMs);
        } else if (option == "--bandwidth-mbps") {
            ok = ParseNumber(value, &options->bandwidthMBps);
        } else {
            *error = "unknown option " + option;
            return false;
        }
        if (!ok) {
            *error = "bad value for " + option + ": " + value;
            return false;
        }
    }
    return true;
}

}  // namespace bench
