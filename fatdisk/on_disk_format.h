// Offsets, sizes and fixed values of the on-disk structures the disk builder
// writes: the master boot record, the FAT16 and FAT32 boot sectors, the FSInfo
// sector, the FAT heads and the volume-label directory entry. Offsets are in
// bytes from the start of their sector; every multi-byte field is little-endian.
#pragma once

#include <cstdint>

#include "device/scsi_constants.h"

namespace fatdisk {

// A sector on disk is one 512-byte logical block of the SCSI wire.
using scsi::kSectorSize;
inline constexpr std::uint32_t kBootSignatureOffset = 510;  // 0x55 0xAA ends MBR and boot sectors
inline constexpr std::uint8_t kBootSignature0 = 0x55;
inline constexpr std::uint8_t kBootSignature1 = 0xAA;

// ---- Master boot record: partition entry 1 -------------------------------
inline constexpr std::uint32_t kMbrEntry1 = 446;            // first of the four 16-byte entries
inline constexpr std::uint32_t kMbrEntrySize = 16;
inline constexpr std::uint32_t kMbrEntryCount = 4;
inline constexpr std::uint32_t kEntryBootIndicator = 0;     // 0x80 marks the active entry
inline constexpr std::uint32_t kEntryStartChs = 1;          // head, sector|cyl-high, cyl-low
inline constexpr std::uint32_t kEntryType = 4;              // partition type
inline constexpr std::uint32_t kEntryEndChs = 5;            // head, sector|cyl-high, cyl-low
inline constexpr std::uint32_t kEntryStartLba = 8;          // first sector of the partition
inline constexpr std::uint32_t kEntrySectorCount = 12;      // sectors in the partition
inline constexpr std::uint8_t kActivePartition = 0x80;
inline constexpr std::uint8_t kPartitionTypeFat12 = 0x01;
inline constexpr std::uint8_t kPartitionTypeFat16 = 0x04;   // FAT16, CHS addressed
inline constexpr std::uint8_t kPartitionTypeFat16Large = 0x06;  // FAT16 of 32 MB and more, CHS
inline constexpr std::uint8_t kPartitionTypeFat32 = 0x0B;   // FAT32, CHS addressed
inline constexpr std::uint8_t kPartitionTypeFat32Lba = 0x0C;  // FAT32, LBA addressed
inline constexpr std::uint8_t kPartitionTypeFat16Lba = 0x0E;  // FAT16, LBA addressed

// ---- Boot sector fields shared by FAT16 and FAT32 -----------------------
inline constexpr std::uint32_t kBsJump = 0;                 // 3-byte jump over the BPB
inline constexpr std::uint8_t kJumpShort = 0xEB;            // EB xx 90: short jump, then NOP
inline constexpr std::uint8_t kJumpShortNop = 0x90;
inline constexpr std::uint8_t kJumpNear = 0xE9;             // E9 xx xx: near jump
inline constexpr std::uint32_t kBsOemName = 3;              // 8 bytes
inline constexpr std::uint32_t kBpbBytesPerSector = 11;     // 16-bit
inline constexpr std::uint32_t kBpbSectorsPerCluster = 13;  // 8-bit
inline constexpr std::uint32_t kBpbReservedSectors = 14;    // 16-bit
inline constexpr std::uint32_t kBpbNumberOfFats = 16;       // 8-bit
inline constexpr std::uint32_t kBpbRootEntries = 17;        // 16-bit
inline constexpr std::uint32_t kBpbTotalSectors16 = 19;     // 16-bit, 0 when the 32-bit field holds it
inline constexpr std::uint32_t kBpbMedia = 21;              // media descriptor
inline constexpr std::uint32_t kBpbSectorsPerFat16 = 22;    // 16-bit, 0 on FAT32
inline constexpr std::uint32_t kBpbSectorsPerTrack = 24;    // 16-bit
inline constexpr std::uint32_t kBpbHeads = 26;              // 16-bit
inline constexpr std::uint32_t kBpbHiddenSectors = 28;      // 32-bit: LBA of this boot sector
inline constexpr std::uint32_t kBpbTotalSectors32 = 32;     // 32-bit

inline constexpr std::uint32_t kOemNameLength = 8;
inline constexpr char kOemName[] = "MSDOS5.0";
inline constexpr std::uint8_t kNumberOfFats = 2;
inline constexpr std::uint8_t kMediaFixedDisk = 0xF8;
inline constexpr std::uint8_t kDriveNumberFirstHardDisk = 0x80;
inline constexpr std::uint8_t kExtendedBootSignature = 0x29;  // label and type fields follow
inline constexpr std::uint32_t kVolumeSerialNumber = 0x01234567;  // the same on every disk
inline constexpr std::uint32_t kLabelLength = 11;
inline constexpr char kNoLabel[] = "NO NAME    ";
inline constexpr std::uint32_t kFsTypeLength = 8;

// ---- FAT16 extended BPB ---------------------------------------------------
inline constexpr std::uint8_t kFat16Jump[3] = {0xEB, 0x3C, 0x90};  // to offset 62
inline constexpr std::uint32_t kFat16DriveNumber = 36;
inline constexpr std::uint32_t kFat16Reserved1 = 37;
inline constexpr std::uint32_t kFat16BootSignature = 38;
inline constexpr std::uint32_t kFat16SerialNumber = 39;
inline constexpr std::uint32_t kFat16Label = 43;
inline constexpr std::uint32_t kFat16FsType = 54;
inline constexpr char kFat16FsTypeText[] = "FAT16   ";
inline constexpr std::uint32_t kFat16RootEntries = 512;     // 32 sectors of 32-byte entries

// ---- FAT32 extended BPB ---------------------------------------------------
inline constexpr std::uint8_t kFat32Jump[3] = {0xEB, 0x58, 0x90};  // to offset 90
inline constexpr std::uint32_t kFat32SectorsPerFat = 36;    // 32-bit
inline constexpr std::uint32_t kFat32ExtendedFlags = 40;    // 0: both FATs mirrored
inline constexpr std::uint32_t kFat32Version = 42;          // 0
inline constexpr std::uint32_t kFat32RootCluster = 44;      // 32-bit first cluster of the root
inline constexpr std::uint32_t kFat32FsInfoSector = 48;     // 16-bit, sector of the FSInfo
inline constexpr std::uint32_t kFat32BackupBootSector = 50; // 16-bit, sector of the backup copy
inline constexpr std::uint32_t kFat32DriveNumber = 64;
inline constexpr std::uint32_t kFat32Reserved1 = 65;
inline constexpr std::uint32_t kFat32BootSignature = 66;
inline constexpr std::uint32_t kFat32SerialNumber = 67;
inline constexpr std::uint32_t kFat32Label = 71;
inline constexpr std::uint32_t kFat32FsType = 82;
inline constexpr char kFat32FsTypeText[] = "FAT32   ";
inline constexpr std::uint32_t kFat32RootClusterNumber = 2;
inline constexpr std::uint32_t kFat32FsInfoSectorNumber = 1;
inline constexpr std::uint32_t kFat32BackupBootSectorNumber = 6;  // sectors 6 and 7 copy 0 and 1
inline constexpr std::uint32_t kFat32MinReservedSectors = 8;  // room for the backups in 6 and 7

// ---- FSInfo sector (sector 1 of the FAT32 reserved area) ----------------
inline constexpr std::uint32_t kFsInfoLeadSignature = 0;
inline constexpr char kFsInfoLeadSignatureText[] = "RRaA";
inline constexpr std::uint32_t kFsInfoStructSignature = 484;
inline constexpr char kFsInfoStructSignatureText[] = "rrAa";
inline constexpr std::uint32_t kFsInfoFreeCount = 488;      // 32-bit free clusters
inline constexpr std::uint32_t kFsInfoNextFree = 492;       // 32-bit allocation hint
inline constexpr std::uint32_t kFsInfoUnknown = 0xFFFFFFFF; // "not known" for both fields
inline constexpr std::uint32_t kFsInfoTrailSignature = 508;
inline constexpr std::uint32_t kFsInfoTrailSignatureValue = 0xAA550000;  // bytes 00 00 55 AA

// ---- FAT heads -------------------------------------------------------------
// Entry 0 carries the media descriptor, entry 1 is end-of-chain; on FAT32
// entry 2 ends the one-cluster root directory.
inline constexpr std::uint8_t kFat16Head[4] = {0xF8, 0xFF, 0xFF, 0xFF};
inline constexpr std::uint8_t kFat32Head[12] = {0xF8, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF,
                                                0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0x0F};
inline constexpr std::uint32_t kFat16EntriesPerSector = 256;  // 2-byte entries
inline constexpr std::uint32_t kFat32EntriesPerSector = 128;  // 4-byte entries
inline constexpr std::uint32_t kReservedFatEntries = 2;     // entries 0 and 1 map no cluster

// Cluster counts by which readers type a volume: fewer than 4085 is FAT12,
// fewer than 65525 FAT16, otherwise FAT32.
inline constexpr std::uint32_t kFat16MinClusters = 4085;
inline constexpr std::uint32_t kFat16MaxClusters = 65524;
inline constexpr std::uint32_t kFat32MinClusters = 65525;
inline constexpr std::uint32_t kFat32MaxClusters = 0x0FFFFFF5;  // 28-bit entries, top values reserved

// ---- Directory entry -------------------------------------------------------
inline constexpr std::uint32_t kDirEntrySize = 32;
inline constexpr std::uint32_t kDirEntryName = 0;           // 11 bytes, blank padded
inline constexpr std::uint32_t kDirEntryAttributes = 11;
inline constexpr std::uint8_t kAttributeVolumeLabel = 0x08;

}  // namespace fatdisk
