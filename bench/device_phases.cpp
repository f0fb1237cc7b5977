#include "bench/device_phases.h"

#include <chrono>

#include "bench/heap_meter.h"
#include "bench/sparse_file.h"
#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"
#include "host/host_system.h"
#include "winmodel/emulated_scsi_disk.h"

namespace bench {

namespace {

constexpr char kLetter = 'E';
// The label the Make workflow passes for a hard-disk style stick.
constexpr char kLabel[] = "USBHDDBOOT";

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What the disk received since its trace was last cleared.
void TakeCommands(EmulatedScsiDisk& disk, PhaseSample* sample) {
    for (const TracedCommand& command : disk.Trace()) {
        sample->commandLengths.push_back(command.length);
        sample->bytes += command.length;
    }
    disk.ClearTrace();
}

}  // namespace

bool ComputeLayout(std::uint32_t sectors, LayoutFacts* layout, std::string* error) {
    CFatDiskBuilder builder(kLetter);
    builder.m_layoutMode = 0;
    if (!builder.Setup(sectors, kLabel, false)) {
        *error = builder.m_errorText;
        return false;
    }
    layout->isFat16 = builder.m_isFat16;
    layout->partitionStart = builder.m_partitionStart;
    layout->partitionSectors = builder.PartitionSectors();
    layout->reservedSectors = builder.m_reservedSectors;
    layout->sectorsPerFat = builder.m_sectorsPerFat;
    layout->sectorsPerCluster = builder.m_sectorsPerCluster;
    layout->rootEntries = builder.m_rootEntries;
    return true;
}

bool RunDevicePhases(const std::string& imagePath, std::uint32_t sectors, DeviceRun* run,
                     std::string* error) {
    if (!MakeSparseFile(imagePath, std::uint64_t{sectors} * fatdisk::kSectorSize)) {
        *error = "cannot make the image file " + imagePath;
        return false;
    }
    bool ok = false;
    {
        platform::HostSystem host;
        platform::InstallSystemServices(&host);
        if (!host.AttachImage(imagePath, kLetter)) {
            *error = "cannot attach the image file " + imagePath;
        } else {
            std::shared_ptr<EmulatedScsiDisk> disk = host.Disk(kLetter);
            disk->ClearTrace();
            CFatDiskBuilder builder(kLetter);
            builder.m_layoutMode = 0;

            HeapPeak buildHeap;
            Clock::time_point start = Clock::now();
            bool built = builder.Setup(sectors, kLabel, true);
            run->build.seconds = SecondsSince(start);
            run->build.peakHeapBytes = buildHeap.BytesAboveStart();
            TakeCommands(*disk, &run->build);

            start = Clock::now();
            SyncFile(imagePath);
            run->syncSeconds = SecondsSince(start);

            HeapPeak verifyHeap;
            start = Clock::now();
            bool verified = built && builder.Setup(sectors, kLabel, false) && builder.VerifyDisk();
            run->verify.seconds = SecondsSince(start);
            run->verify.peakHeapBytes = verifyHeap.BytesAboveStart();
            TakeCommands(*disk, &run->verify);

            ok = built && verified;
            if (!ok) *error = (built ? "read-back: " : "build: ") + builder.m_errorText;
            disk.reset();
            host.DetachImage(kLetter);
        }
        platform::InstallSystemServices(nullptr);
    }
    RemoveFile(imagePath);
    return ok;
}

}  // namespace bench
