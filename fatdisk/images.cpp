// Byte images of the MBR, the FAT16 boot sector, the FAT32 reserved area and
// the FAT heads. Each starts from its boot template (which brings the boot
// code) and sets every other field from the computed layout; the caller's
// zero fill supplies the zero sectors and tails.
#include <cstring>

#include "boot/boot_templates.h"
#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"
#include "fatdisk/volume_label.h"
#include "platform/byte_order.h"

using namespace fatdisk;
using platform::StoreLe16;
using platform::StoreLe32;

namespace {

// CHS start of the partition in modes 1 and 2, fixed by the sectors per
// track: head 128 (63 sectors per track) or head 12, cylinder 15 (32).
constexpr std::uint8_t kStartChsTrack63[3] = {0x80, 0x01, 0x00};
constexpr std::uint8_t kStartChsTrack32[3] = {0x0C, 0x01, 0x0F};
// CHS start in mode 0: head 1, sector 1, cylinder 0, i.e. the sector after the first track.
constexpr std::uint8_t kStartChsSecondTrack[3] = {0x01, 0x01, 0x00};
// End CHS when the cylinder count cannot be expressed: the largest address.
constexpr std::uint8_t kEndChsBeyondReach[3] = {0xFE, 0xFF, 0xFF};
constexpr std::uint32_t kLargestExpressibleCylinders = 16384;
constexpr std::uint32_t kLargestChsCylinder = 1023;  // 10 bits
constexpr std::uint32_t kLargestEndHead = 254;

// Factor by which the end CHS scales the heads so that the cylinder number
// fits in 10 bits: 1 up to 1024 cylinders, doubling up to 16 at 16384.
std::uint32_t HeadScale(std::uint32_t cylinders) {
    std::uint32_t scale = 1;
    while (cylinders > (kLargestChsCylinder + 1) * scale) scale *= 2;
    return scale;
}

void WriteEndChs(std::uint8_t* at, std::uint32_t cylinders, std::uint32_t heads, std::uint32_t sectorsPerTrack) {
    if (cylinders <= 1 || cylinders > kLargestExpressibleCylinders) {
        std::memcpy(at, kEndChsBeyondReach, sizeof kEndChsBeyondReach);
        return;
    }
    const std::uint32_t scale = HeadScale(cylinders);
    const std::uint32_t lastCylinder = cylinders / scale - 1;
    std::uint32_t lastHead = heads * scale - 1;
    if (lastHead == 255) lastHead = kLargestEndHead;
    at[0] = static_cast<std::uint8_t>(lastHead);
    at[1] = static_cast<std::uint8_t>(sectorsPerTrack | ((lastCylinder >> 2) & 0xC0));
    at[2] = static_cast<std::uint8_t>(lastCylinder);
}

void WriteBootSignature(std::uint8_t* sector) {
    sector[kBootSignatureOffset] = kBootSignature0;
    sector[kBootSignatureOffset + 1] = kBootSignature1;
}

void WriteText(std::uint8_t* at, const char* text, std::size_t length) { std::memcpy(at, text, length); }

// "NO NAME    " unless the trimmed label has bytes of its own.
void WriteLabel(std::uint8_t* field, const std::string& volumeLabel) {
    WriteText(field, kNoLabel, kLabelLength);
    WriteLabelField(field, volumeLabel);
}

// Bytes 0-35 that FAT16 and FAT32 boot sectors share: jump, OEM name and
// the BPB up to the 32-bit total. The type-specific values are arguments.
struct BpbValues {
    const std::uint8_t* jump;
    std::uint32_t rootEntries;
    std::uint32_t totalSectors16;
    std::uint32_t sectorsPerFat16;
    std::uint32_t totalSectors32;
};

void WriteBpb(std::uint8_t* sector, const CFatDiskBuilder& b, const BpbValues& v) {
    std::memcpy(sector + kBsJump, v.jump, 3);
    WriteText(sector + kBsOemName, kOemName, kOemNameLength);
    StoreLe16(sector + kBpbBytesPerSector, b.m_bytesPerSector);
    sector[kBpbSectorsPerCluster] = static_cast<std::uint8_t>(b.m_sectorsPerCluster);
    StoreLe16(sector + kBpbReservedSectors, b.m_reservedSectors);
    sector[kBpbNumberOfFats] = kNumberOfFats;
    StoreLe16(sector + kBpbRootEntries, v.rootEntries);
    StoreLe16(sector + kBpbTotalSectors16, v.totalSectors16);
    sector[kBpbMedia] = kMediaFixedDisk;
    StoreLe16(sector + kBpbSectorsPerFat16, v.sectorsPerFat16);
    StoreLe16(sector + kBpbSectorsPerTrack, b.m_sectorsPerTrack);
    StoreLe16(sector + kBpbHeads, b.m_heads);
    StoreLe32(sector + kBpbHiddenSectors, b.m_partitionStart);
    StoreLe32(sector + kBpbTotalSectors32, v.totalSectors32);
}

// Drive number, extended signature, serial number, label and type text: the
// same run of fields, at offset 36 on FAT16 and 64 on FAT32.
void WriteExtendedBpb(std::uint8_t* at, const std::string& volumeLabel, const char* fsType) {
    constexpr std::uint32_t kReserved = kFat16Reserved1 - kFat16DriveNumber;
    constexpr std::uint32_t kSignature = kFat16BootSignature - kFat16DriveNumber;
    constexpr std::uint32_t kSerial = kFat16SerialNumber - kFat16DriveNumber;
    constexpr std::uint32_t kLabel = kFat16Label - kFat16DriveNumber;
    constexpr std::uint32_t kType = kFat16FsType - kFat16DriveNumber;
    static_assert(kFat32Reserved1 - kFat32DriveNumber == kReserved &&
                  kFat32BootSignature - kFat32DriveNumber == kSignature &&
                  kFat32SerialNumber - kFat32DriveNumber == kSerial &&
                  kFat32Label - kFat32DriveNumber == kLabel && kFat32FsType - kFat32DriveNumber == kType);
    at[0] = kDriveNumberFirstHardDisk;
    at[kReserved] = 0;
    at[kSignature] = kExtendedBootSignature;
    StoreLe32(at + kSerial, kVolumeSerialNumber);
    WriteLabel(at + kLabel, volumeLabel);
    WriteText(at + kType, fsType, kFsTypeLength);
}

}  // namespace

void CFatDiskBuilder::MakeMbr(std::uint8_t* buffer) const {
    std::memcpy(buffer, kMbrTemplate, kMbrTemplateSize);
    std::uint8_t* entry = buffer + kMbrEntry1;
    entry[kEntryBootIndicator] = kActivePartition;

    const bool startsAtZero = m_activeLayoutMode == 1 || m_activeLayoutMode == 2;
    const std::uint8_t* startChs = !startsAtZero ? kStartChsSecondTrack
                                   : m_sectorsPerTrack == 63 ? kStartChsTrack63
                                                             : kStartChsTrack32;
    std::memcpy(entry + kEntryStartChs, startChs, 3);

    // The type follows the file system, whatever the partition's size.
    entry[kEntryType] = m_isFat16 ? kPartitionTypeFat16 : kPartitionTypeFat32Lba;
    WriteEndChs(entry + kEntryEndChs, m_cylinders, m_heads, m_sectorsPerTrack);
    // The volume's real start, also when an override moved it in mode 0.
    StoreLe32(entry + kEntryStartLba, m_partitionStart);
    StoreLe32(entry + kEntrySectorCount, PartitionSectors());
    WriteBootSignature(buffer);
}

void CFatDiskBuilder::MakeFat16BootSector(std::uint8_t* buffer) const {
    std::memcpy(buffer, kFat16BootTemplate, kFat16BootTemplateSize);
    // The 16-bit total holds the count when it fits; otherwise the 32-bit one does.
    const std::uint32_t partition = PartitionSectors();
    const bool fitsIn16 = partition <= 0xFFFF;
    WriteBpb(buffer, *this,
             {.jump = kFat16Jump,
              .rootEntries = m_rootEntries,
              .totalSectors16 = fitsIn16 ? partition : 0,
              .sectorsPerFat16 = m_sectorsPerFat,
              .totalSectors32 = fitsIn16 ? 0 : partition});
    WriteExtendedBpb(buffer + kFat16DriveNumber, m_volumeLabel, kFat16FsTypeText);
    WriteBootSignature(buffer);
}

void CFatDiskBuilder::MakeFat32BootArea(std::uint8_t* buffer) const {
    std::memcpy(buffer, kFat32BootTemplate, kFat32BootTemplateSize);

    std::uint8_t* boot = buffer;
    WriteBpb(boot, *this,
             {.jump = kFat32Jump,
              .rootEntries = 0,
              .totalSectors16 = 0,
              .sectorsPerFat16 = 0,
              .totalSectors32 = PartitionSectors()});
    StoreLe32(boot + kFat32SectorsPerFat, m_sectorsPerFat);
    StoreLe16(boot + kFat32ExtendedFlags, 0);
    StoreLe16(boot + kFat32Version, 0);
    StoreLe32(boot + kFat32RootCluster, kFat32RootClusterNumber);
    StoreLe16(boot + kFat32FsInfoSector, kFat32FsInfoSectorNumber);
    StoreLe16(boot + kFat32BackupBootSector, kFat32BackupBootSectorNumber);
    WriteExtendedBpb(boot + kFat32DriveNumber, m_volumeLabel, kFat32FsTypeText);
    WriteBootSignature(boot);

    std::uint8_t* fsInfo = buffer + kFat32FsInfoSectorNumber * m_bytesPerSector;
    WriteText(fsInfo + kFsInfoLeadSignature, kFsInfoLeadSignatureText, 4);
    WriteText(fsInfo + kFsInfoStructSignature, kFsInfoStructSignatureText, 4);
    StoreLe32(fsInfo + kFsInfoFreeCount, kFsInfoUnknown);
    StoreLe32(fsInfo + kFsInfoNextFree, kFsInfoUnknown);
    StoreLe32(fsInfo + kFsInfoTrailSignature, kFsInfoTrailSignatureValue);

    // The backups are taken last, so they equal sectors 0 and 1 byte for byte.
    std::uint8_t* backup = buffer + kFat32BackupBootSectorNumber * m_bytesPerSector;
    std::memcpy(backup, boot, 2 * m_bytesPerSector);
}

void CFatDiskBuilder::MakeFatHead(std::uint8_t* buffer) const {
    if (m_isFat16) {
        std::memcpy(buffer, kFat16Head, sizeof kFat16Head);
    } else {
        std::memcpy(buffer, kFat32Head, sizeof kFat32Head);
    }
}
