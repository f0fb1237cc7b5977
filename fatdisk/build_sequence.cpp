// Writing the layout to the device and reading it back. The volume is opened
// and locked for the whole sequence; every area is moved in commands of at
// most 128 sectors. A build phase's buffer holds one command's bytes at
// most: its image goes out with the area's first command, and the zeros
// after it come from the same buffer once cleared, so that writing an 8 MB
// FAT neither holds nor touches 8 MB of memory. A read-back reads each area
// (at most the MBR area and the reserved area) into a buffer of its own.
#include <algorithm>
#include <cstring>
#include <new>

#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"
#include "fatdisk/volume_label.h"
#include "platform/system_services.h"

namespace {

constexpr char kOpenFailed[] = "CreatHadle Fail";
constexpr char kLockFailed[] = "Lock Volume Failed";
constexpr char kWriteFailed[] = "Write Data Command Failed";
constexpr char kReadFailed[] = "Read Data Command Failed";
constexpr char kAllocateFailed[] = "Allocate Memory Failed";
constexpr char kReservedTooSmall[] = "Reserved Area Too Small";
constexpr char kMismatch[] = "Read Back Data Mismatch";

// A freshly plugged stick is often held open for a moment by the desktop
// (Explorer, AutoPlay, an indexer, a virus scanner), and the lock fails
// while it is: the lock is tried this many times this far apart (about
// 4.5 s) before the volume is dismounted, which ends those handles, and
// locked once more.
constexpr unsigned kLockAttempts = 10;
constexpr std::uint32_t kLockRetryMs = 500;

// The FAT32 boot area spans sectors 0 to 7 of the reserved area (boot
// sector, FSInfo, third boot sector, backups in 6 and 7); a FAT16 volume
// needs its boot sector.
constexpr std::uint32_t kFat32BootAreaSectors = 8;
constexpr std::uint32_t kFat16BootAreaSectors = 1;

// One phase's buffer: zero-filled, released when it goes out of scope or
// when the next phase takes its place.
class SectorBuffer {
public:
    // False when the memory cannot be had, or the area is too large for
    // one transfer length of 32 bits.
    bool Allocate(std::uint32_t sectors) {
        Release();
        std::uint64_t bytes = std::uint64_t{sectors} * fatdisk::kSectorSize;
        if (bytes > UINT32_MAX) return false;
        bytes_ = static_cast<std::uint32_t>(bytes);
        if (bytes_ == 0) return true;
        data_ = new (std::nothrow) std::uint8_t[bytes_]();
        if (data_ == nullptr) bytes_ = 0;
        return data_ != nullptr;
    }
    void Release() {
        delete[] data_;
        data_ = nullptr;
        bytes_ = 0;
    }
    ~SectorBuffer() { Release(); }

    std::uint8_t* data() const { return data_; }
    std::uint32_t bytes() const { return bytes_; }

private:
    std::uint8_t* data_ = nullptr;
    std::uint32_t bytes_ = 0;
};

// The bytes of an area up to its last nonzero one within its first
// `limit` bytes.
std::vector<std::uint8_t> HeadOf(const SectorBuffer& buffer, std::uint32_t limit) {
    std::uint32_t end = std::min(limit, buffer.bytes());
    while (end > 0 && buffer.data()[end - 1] == 0) --end;
    return {buffer.data(), buffer.data() + end};
}

// Sectors of a phase buffer for an area: the area, or one command's worth
// when the area is longer.
std::uint32_t OneCommandAtMost(std::uint32_t areaSectors) {
    return std::min<std::uint32_t>(areaSectors, kMaxBlocksPerCommand);
}

// Cuts an area into commands of at most 128 sectors, in order, and calls
// send(lba, count, byte offset into the area) for each; stops at the first
// that returns false.
template <typename Send>
bool ForEachCommand(std::uint32_t sectors, std::uint32_t firstLba, Send send) {
    for (std::uint32_t done = 0; done < sectors;) {
        std::uint32_t count = std::min<std::uint32_t>(sectors - done, kMaxBlocksPerCommand);
        if (!send(firstLba + done, count, std::size_t{done} * fatdisk::kSectorSize)) return false;
        done += count;
    }
    return true;
}

bool Matches(const std::uint8_t* read, std::uint32_t bytes, const std::vector<std::uint8_t>& head) {
    if (head.size() > bytes) return false;
    if (!std::equal(head.begin(), head.end(), read)) return false;
    return std::all_of(read + head.size(), read + bytes, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

bool CFatDiskBuilder::RefuseUnbuildableLayout() {
    std::uint32_t needed = m_isFat16 ? kFat16BootAreaSectors : kFat32BootAreaSectors;
    if (m_reservedSectors >= needed) return false;
    m_errorText = kReservedTooSmall;
    return true;
}

bool CFatDiskBuilder::TakeVolume() {
    if (m_channel.OpenVolume(m_driveLetter) != 0) {
        m_errorText = kOpenFailed;
        return false;
    }
    for (unsigned attempt = 1; attempt <= kLockAttempts; ++attempt) {
        if (!m_channel.LockVolume(m_driveLetter)) return true;
        if (attempt < kLockAttempts) platform::Sys().Sleep(kLockRetryMs);
    }
    // Whatever result: the lock that follows tells whether the volume is free.
    m_channel.DismountVolume(m_driveLetter);
    if (m_channel.LockVolume(m_driveLetter)) {
        m_channel.CloseVolume();
        m_errorText = kLockFailed;
        return false;
    }
    return true;
}

void CFatDiskBuilder::ReleaseVolume() {
    // The file system mounted before the raw writes still believes in the
    // old boot sector, FATs and directory, and would place files by them:
    // dismounted while the lock is held, it is mounted afresh from the disk
    // at its next use. A failing dismount is not reported here; the worker
    // checks what the drive shows before it writes a file.
    m_channel.DismountVolume(m_driveLetter);
    m_channel.UnlockVolume(m_driveLetter);
    m_channel.CloseVolume();
}

bool CFatDiskBuilder::ReleaseVolumeAndFail(const char* errorText) {
    ReleaseVolume();
    if (errorText != nullptr) m_errorText = errorText;
    return false;
}

bool CFatDiskBuilder::BuildDisk() {
    if (RefuseUnbuildableLayout()) return false;
    if (!TakeVolume()) return false;
    m_hasBuiltAreas = false;

    const std::uint32_t reservedLba = m_partitionStart;
    const std::uint32_t fat1Lba = reservedLba + m_reservedSectors;
    const std::uint32_t fat2Lba = fat1Lba + m_sectorsPerFat;
    const std::uint32_t rootLba = fat2Lba + m_sectorsPerFat;
    const std::uint32_t rootSectors = m_isFat16 ? m_rootDirSectors : m_sectorsPerCluster;
    BuiltAreas built;
    SectorBuffer buffer;

    // Phase 1: the MBR area; empty when the boot sector is sector 0.
    // Every image fits in the first command of its area (the FAT32 boot
    // area, the largest, takes 8 sectors).
    if (m_partitionStart > 0) {
        if (!buffer.Allocate(OneCommandAtMost(m_partitionStart))) {
            return ReleaseVolumeAndFail(kAllocateFailed);
        }
        MakeMbr(buffer.data());
        built.mbrArea = {0, m_partitionStart, HeadOf(buffer, buffer.bytes())};
        if (!WriteArea(buffer.data(), buffer.bytes(), m_partitionStart, 0)) {
            return ReleaseVolumeAndFail(nullptr);
        }
    }

    // Phase 2: the reserved area with the boot sector (FAT32: the boot area).
    if (!buffer.Allocate(OneCommandAtMost(m_reservedSectors))) {
        return ReleaseVolumeAndFail(kAllocateFailed);
    }
    if (m_isFat16) {
        MakeFat16BootSector(buffer.data());
    } else {
        MakeFat32BootArea(buffer.data());
    }
    built.reservedArea = {reservedLba, m_reservedSectors, HeadOf(buffer, buffer.bytes())};
    if (!WriteArea(buffer.data(), buffer.bytes(), m_reservedSectors, reservedLba)) {
        return ReleaseVolumeAndFail(nullptr);
    }

    // Phases 3 and 4: both FAT copies in full, from one buffer that gets its
    // FAT head again for the second copy.
    if (!buffer.Allocate(OneCommandAtMost(m_sectorsPerFat))) {
        return ReleaseVolumeAndFail(kAllocateFailed);
    }
    std::uint32_t fatReadBack = std::min<std::uint32_t>(m_sectorsPerFat, 1);
    for (std::uint32_t fatLba : {fat1Lba, fat2Lba}) {
        if (m_sectorsPerFat > 0) {
            std::memset(buffer.data(), 0, buffer.bytes());
            MakeFatHead(buffer.data());
        }
        if (fatLba == fat1Lba) {
            built.fatCopy1 = {fat1Lba, fatReadBack, HeadOf(buffer, fatReadBack * fatdisk::kSectorSize)};
            built.fatCopy2 = {fat2Lba, fatReadBack, built.fatCopy1.head};
        }
        if (!WriteArea(buffer.data(), buffer.bytes(), m_sectorsPerFat, fatLba)) {
            return ReleaseVolumeAndFail(nullptr);
        }
    }

    // Phase 5: the root area (FAT32: the first data cluster) with the label entry.
    if (!buffer.Allocate(OneCommandAtMost(rootSectors))) return ReleaseVolumeAndFail(kAllocateFailed);
    if (buffer.bytes() >= fatdisk::kDirEntrySize) {
        fatdisk::WriteVolumeLabelEntry(buffer.data(), m_volumeLabel);
    }
    if (!WriteArea(buffer.data(), buffer.bytes(), rootSectors, rootLba)) {
        return ReleaseVolumeAndFail(nullptr);
    }
    buffer.Release();

    ReleaseVolume();
    m_builtAreas = std::move(built);
    m_hasBuiltAreas = true;
    return true;
}

bool CFatDiskBuilder::ExpectedAreas(BuiltAreas* areas) {
    if (RefuseUnbuildableLayout()) return false;
    const std::uint32_t fat1Lba = m_partitionStart + m_reservedSectors;
    const std::uint32_t fatReadBack = std::min<std::uint32_t>(m_sectorsPerFat, 1);
    SectorBuffer buffer;
    auto outOfMemory = [this] {
        m_errorText = kAllocateFailed;
        return false;
    };

    // The MBR image takes the first sector of its area; the rest is zero.
    areas->mbrArea = {0, m_partitionStart, {}};
    if (m_partitionStart > 0) {
        if (!buffer.Allocate(1)) return outOfMemory();
        MakeMbr(buffer.data());
        areas->mbrArea.head = HeadOf(buffer, buffer.bytes());
    }

    if (!buffer.Allocate(m_reservedSectors)) return outOfMemory();
    if (m_isFat16) {
        MakeFat16BootSector(buffer.data());
    } else {
        MakeFat32BootArea(buffer.data());
    }
    areas->reservedArea = {m_partitionStart, m_reservedSectors, HeadOf(buffer, buffer.bytes())};

    if (!buffer.Allocate(1)) return outOfMemory();
    if (fatReadBack > 0) MakeFatHead(buffer.data());
    areas->fatCopy1 = {fat1Lba, fatReadBack, HeadOf(buffer, fatReadBack * fatdisk::kSectorSize)};
    areas->fatCopy2 = {fat1Lba + m_sectorsPerFat, fatReadBack, areas->fatCopy1.head};
    return true;
}

bool CFatDiskBuilder::VerifyDisk() {
    // Compare against the disk as this builder built it; a builder that has
    // built nothing compares against the images of its current layout.
    BuiltAreas expected;
    if (m_hasBuiltAreas) {
        expected = m_builtAreas;
    } else if (!ExpectedAreas(&expected)) {
        return false;
    }

    if (!TakeVolume()) return false;

    SectorBuffer buffer;
    for (const AreaImage* area :
         {&expected.mbrArea, &expected.reservedArea, &expected.fatCopy1, &expected.fatCopy2}) {
        if (area->sectors == 0) continue;
        if (!buffer.Allocate(area->sectors)) return ReleaseVolumeAndFail(kAllocateFailed);
        if (!ReadSectors(buffer.data(), buffer.bytes(), area->firstLba)) {
            return ReleaseVolumeAndFail(nullptr);
        }
        if (!Matches(buffer.data(), buffer.bytes(), area->head)) {
            return ReleaseVolumeAndFail(kMismatch);
        }
    }
    buffer.Release();

    ReleaseVolume();
    return true;
}

bool CFatDiskBuilder::WriteArea(std::uint8_t* buffer, std::uint32_t bufferBytes,
                                std::uint32_t areaSectors, std::uint32_t firstLba) {
    return ForEachCommand(areaSectors, firstLba, [&](std::uint32_t lba, std::uint32_t count,
                                                     std::size_t offset) {
        // Past the first command the area is all zeros.
        if (offset == std::size_t{kMaxBlocksPerCommand} * fatdisk::kSectorSize) {
            std::memset(buffer, 0, bufferBytes);
        }
        return WriteSectors(buffer, count * fatdisk::kSectorSize, lba);
    });
}

bool CFatDiskBuilder::WriteSectors(const std::uint8_t* buffer, std::uint32_t byteLength,
                                   std::uint32_t firstLba) {
    bool sent = ForEachCommand(byteLength / fatdisk::kSectorSize, firstLba,
                               [&](std::uint32_t lba, std::uint32_t count, std::size_t offset) {
                                   return !m_channel.WriteBlocks(m_driveLetter, lba, count,
                                                                 buffer + offset);
                               });
    if (!sent) m_errorText = kWriteFailed;
    return sent;
}

bool CFatDiskBuilder::ReadSectors(std::uint8_t* buffer, std::uint32_t byteLength,
                                  std::uint32_t firstLba) {
    bool sent = ForEachCommand(byteLength / fatdisk::kSectorSize, firstLba,
                               [&](std::uint32_t lba, std::uint32_t count, std::size_t offset) {
                                   return !m_channel.ReadBlocks(m_driveLetter, lba, count,
                                                                buffer + offset);
                               });
    if (!sent) m_errorText = kReadFailed;
    return sent;
}
