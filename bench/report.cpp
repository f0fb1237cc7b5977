#include "bench/report.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "fatdisk/on_disk_format.h"

namespace bench {

namespace {

constexpr std::uint64_t kMemorySlackBytes = 4 * 1024 * 1024;

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Ms(double seconds) { return Format("%.2f", seconds * 1000); }
std::string Ratio(double ours, double reference) {
    return reference > 0 ? Format("%.3f", ours / reference) : "-";
}
std::string MiB(double bytes) { return Format("%.2f", bytes / (1024.0 * 1024.0)); }

std::string Type(const SizeSummary& size) { return size.layout.isFat16 ? "FAT16" : "FAT32"; }

void Row(std::ostream& out, const std::vector<std::string>& cells, const std::vector<int>& widths) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        out << (i == 0 ? "" : "  ");
        std::string cell = cells[i];
        if (static_cast<int>(cell.size()) < widths[i]) cell.insert(0, widths[i] - cell.size(), ' ');
        out << cell;
    }
    out << '\n';
}

}  // namespace

std::uint64_t SizeSummary::MemoryBudgetBytes() const {
    return std::uint64_t{layout.sectorsPerFat} * fatdisk::kSectorSize + kMemorySlackBytes;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void PrintHostTable(std::ostream& out, const std::vector<SizeSummary>& sizes, int runs) {
    out << "Device phases on sparse image files through the Linux backend (medians of " << runs
        << " runs, ms)\n";
    std::vector<int> widths = {10, 5, 4, 6, 9, 10, 6, 9, 8, 9, 8, 8, 9, 9, 9};
    Row(out, {"sectors", "type", "spc", "fat", "build", "build+sync", "cmds", "MiB", "verify",
              "vcmds", "mkfs", "copy", "/mkfs", "/copy", "heap MiB"},
        widths);
    for (const SizeSummary& s : sizes) {
        Row(out,
            {std::to_string(s.sectors), Type(s), std::to_string(s.layout.sectorsPerCluster),
             std::to_string(s.layout.sectorsPerFat), Ms(s.build), Ms(s.buildAndSync),
             std::to_string(s.buildCommands), MiB(static_cast<double>(s.buildBytes)), Ms(s.verify),
             std::to_string(s.verifyCommands), Ms(s.mkfs), Ms(s.copy), Ratio(s.buildAndSync, s.mkfs),
             Ratio(s.build, s.copy), MiB(static_cast<double>(s.peakHeapBytes))},
            widths);
    }
    out << "build: Setup with the write flag; verify: the layout-only Setup and VerifyDisk;\n"
           "/mkfs: (build + fsync of the image) / mkfs.fat, which ends with its own fsync;\n"
           "/copy: build / the same bytes written in 64 KiB writes; heap: the most either\n"
           "phase held at once (budget: one FAT copy + 4 MiB).\n";
}

void PrintUsbTable(std::ostream& out, const std::vector<SizeSummary>& sizes,
                   const UsbStickModel& model) {
    out << "USB stick model: " << Format("%.2f", model.commandLatencySeconds * 1000)
        << " ms per command, " << Format("%.1f", model.bytesPerSecond / 1e6)
        << " MB/s (computed from the commands, ms)\n";
    std::vector<int> widths = {10, 5, 6, 9, 9, 7, 6, 8, 8, 7};
    Row(out, {"sectors", "type", "cmds", "build", "limit", "ratio", "vcmds", "verify", "limit",
              "ratio"},
        widths);
    for (const SizeSummary& s : sizes) {
        Row(out,
            {std::to_string(s.sectors), Type(s), std::to_string(s.buildCommands), Ms(s.usbBuild),
             Ms(s.usbBuildLimit), Ratio(s.usbBuild, s.usbBuildLimit),
             std::to_string(s.verifyCommands), Ms(s.usbVerify), Ms(s.usbVerifyLimit),
             Ratio(s.usbVerify, s.usbVerifyLimit)},
            widths);
    }
    out << "limit: the same bytes in as few 64 KiB commands as possible.\n";
}

bool WriteCsv(const std::string& path, const std::vector<SizeSummary>& sizes,
              const UsbStickModel& model) {
    std::ofstream csv(path);
    csv << "sectors,type,sectors_per_cluster,sectors_per_fat,mkfs_sectors_per_fat,"
           "build_ms,build_sync_ms,verify_ms,mkfs_ms,copy_ms,ratio_mkfs,ratio_copy,"
           "build_commands,build_bytes,verify_commands,verify_bytes,peak_heap_bytes,"
           "memory_budget_bytes,usb_latency_ms,usb_mbps,usb_build_ms,usb_build_limit_ms,"
           "usb_build_ratio,usb_verify_ms,usb_verify_limit_ms,usb_verify_ratio\n";
    for (const SizeSummary& s : sizes) {
        csv << s.sectors << ',' << Type(s) << ',' << s.layout.sectorsPerCluster << ','
            << s.layout.sectorsPerFat << ',' << s.mkfsSectorsPerFat << ',' << Ms(s.build) << ','
            << Ms(s.buildAndSync) << ',' << Ms(s.verify) << ',' << Ms(s.mkfs) << ',' << Ms(s.copy)
            << ',' << Ratio(s.buildAndSync, s.mkfs) << ',' << Ratio(s.build, s.copy) << ','
            << s.buildCommands << ',' << s.buildBytes << ',' << s.verifyCommands << ','
            << s.verifyBytes << ',' << s.peakHeapBytes << ',' << s.MemoryBudgetBytes() << ','
            << Format("%.3f", model.commandLatencySeconds * 1000) << ','
            << Format("%.1f", model.bytesPerSecond / 1e6) << ',' << Ms(s.usbBuild) << ','
            << Ms(s.usbBuildLimit) << ',' << Ratio(s.usbBuild, s.usbBuildLimit) << ','
            << Ms(s.usbVerify) << ',' << Ms(s.usbVerifyLimit) << ','
            << Ratio(s.usbVerify, s.usbVerifyLimit) << '\n';
    }
    return static_cast<bool>(csv);
}

}  // namespace bench
