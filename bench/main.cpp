// vorn_bench: times the make's device phases on image files against
// mkfs.fat and the transfer limit; prints two tables and writes a CSV.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bench_options.h"
#include "bench/device_phases.h"
#include "bench/reference_runs.h"
#include "bench/report.h"
#include "bench/usb_stick_model.h"
#include "fatdisk/on_disk_format.h"

namespace {

using namespace bench;

// Every run of one capacity: ours, mkfs.fat and the copy in turn, so that
// all three see the same state of the machine.
bool MeasureSize(std::uint32_t sectors, const BenchOptions& options, const UsbStickModel& model,
                 SizeSummary* summary, std::string* error) {
    summary->sectors = sectors;
    if (!ComputeLayout(sectors, &summary->layout, error)) return false;
    const std::string image = options.workDir + "/bench-" + std::to_string(sectors) + ".img";
    const std::uint64_t imageBytes = std::uint64_t{sectors} * fatdisk::kSectorSize;

    std::vector<double> build, buildAndSync, verify, mkfs, copy;
    for (int run = 1; run <= options.runs; ++run) {
        std::cerr << "  " << sectors << " sectors: run " << run << " of " << options.runs << '\n';
        DeviceRun device;
        if (!RunDevicePhases(image, sectors, &device, error)) return false;
        MkfsRun mkfsRun;
        if (!RunMkfsFat(image, sectors, summary->layout, &mkfsRun, error)) return false;
        double copySeconds = RunPlainCopy(image, imageBytes, device.build.bytes);
        if (copySeconds < 0) {
            *error = "the plain copy into " + image + " failed";
            return false;
        }

        build.push_back(device.build.seconds);
        buildAndSync.push_back(device.build.seconds + device.syncSeconds);
        verify.push_back(device.verify.seconds);
        mkfs.push_back(mkfsRun.seconds);
        copy.push_back(copySeconds);
        summary->mkfsSectorsPerFat = mkfsRun.sectorsPerFat;
        summary->buildCommands = device.build.commandLengths.size();
        summary->verifyCommands = device.verify.commandLengths.size();
        summary->buildBytes = device.build.bytes;
        summary->verifyBytes = device.verify.bytes;
        summary->peakHeapBytes = std::max({summary->peakHeapBytes, device.build.peakHeapBytes,
                                           device.verify.peakHeapBytes});
        summary->usbBuild = model.Seconds(device.build.commandLengths);
        summary->usbVerify = model.Seconds(device.verify.commandLengths);
        summary->usbBuildLimit = model.TransferLimitSeconds(device.build.bytes);
        summary->usbVerifyLimit = model.TransferLimitSeconds(device.verify.bytes);
    }
    summary->build = Median(build);
    summary->buildAndSync = Median(buildAndSync);
    summary->verify = Median(verify);
    summary->mkfs = Median(mkfs);
    summary->copy = Median(copy);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    bool help = false;
    std::string error;
    if (!ParseBenchOptions(argc, argv, &options, &help, &error)) {
        std::cerr << "vorn_bench: " << error << '\n' << kBenchUsage;
        return 2;
    }
    if (help) {
        std::cout << kBenchUsage;
        return 0;
    }
    UsbStickModel model;
    model.commandLatencySeconds = options.latencyMs / 1000;
    model.bytesPerSecond = options.bandwidthMBps * 1e6;

    std::vector<SizeSummary> sizes;
    for (std::uint32_t sectors : options.sectors) {
        std::cerr << "Measuring " << sectors << " sectors\n";
        SizeSummary summary;
        if (!MeasureSize(sectors, options, model, &summary, &error)) {
            std::cerr << "vorn_bench: " << sectors << " sectors: " << error << '\n';
            return 1;
        }
        sizes.push_back(summary);
    }

    PrintHostTable(std::cout, sizes, options.runs);
    std::cout << '\n';
    PrintUsbTable(std::cout, sizes, model);
    if (!WriteCsv(options.csvPath, sizes, model)) {
        std::cerr << "vorn_bench: cannot write " << options.csvPath << '\n';
        return 1;
    }
    std::cout << "\nCSV: " << options.csvPath << '\n';
    return 0;
}
