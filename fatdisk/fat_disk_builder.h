// Computes a CHS geometry and a FAT16 or FAT32 layout from a device's sector
// count, builds the MBR, boot area and FAT heads as byte images, writes them
// to the device and reads them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/scsi_channel.h"

class CFatDiskBuilder {
public:
    explicit CFatDiskBuilder(char driveLetter);

    // Layout (and, with writeNow, the build). False only when the capacity
    // has no layout or the build failed; the reason is in m_errorText.
    bool Setup(std::uint32_t totalSectors, std::string volumeLabel, bool writeNow);
    bool LayoutFat16();
    bool LayoutFat32();

    // Images: each fills a caller-owned, zero-filled buffer.
    void MakeMbr(std::uint8_t* buffer) const;
    void MakeFat16BootSector(std::uint8_t* buffer) const;
    void MakeFat32BootArea(std::uint8_t* buffer) const;
    void MakeFatHead(std::uint8_t* buffer) const;

    // Device phases.
    bool BuildDisk();
    bool VerifyDisk();
    bool WriteSectors(const std::uint8_t* buffer, std::uint32_t byteLength, std::uint32_t firstLba);
    bool ReadSectors(std::uint8_t* buffer, std::uint32_t byteLength, std::uint32_t firstLba);

    std::string m_errorText;
    std::uint32_t m_firstDataSector = 0;
    std::string m_volumeLabel;
    std::uint32_t m_partitionStartOverride = 0;
    std::uint32_t m_alignUnit = 0;
    std::int32_t m_layoutMode = 2;
    std::uint32_t m_alignBoundary = 8192;
    std::uint32_t m_reservedOverride = 0;
    std::int32_t m_alignPad = 0;
    CScsiChannel m_channel;
    std::uint32_t m_totalSectors = 0;
    std::uint32_t m_sectorsPerCluster = 0;
    std::uint32_t m_bytesPerSector = 0;
    std::uint32_t m_sectorsPerFat = 0;
    std::uint32_t m_reservedSectors = 0;
    std::uint32_t m_rootEntries = 0;
    std::uint32_t m_dataStart = 0;
    std::uint32_t m_partitionStart = 0;
    std::uint32_t m_heads = 0;
    std::uint32_t m_sectorsPerTrack = 0;
    std::uint32_t m_cylinders = 0;
    std::uint32_t m_rootDirSectors = 0;
    char m_driveLetter;
    bool m_isFat16 = false;
    bool m_isFat32 = false;
    bool m_writeNow = false;
    std::int32_t m_activeLayoutMode = 0;

    // Sectors of the partition as the boot records and the MBR entry state it:
    // the device's sectors past the partition start, trimmed so that the
    // volume holds no more clusters than its FAT type (FAT16: 65524) and its
    // FAT allow.
    std::uint32_t PartitionSectors() const;
    // Data clusters of the volume in PartitionSectors().
    std::uint32_t ClusterCount() const;

private:
    // One area that VerifyDisk reads back: where it lies, and its expected
    // bytes up to the last nonzero one (the rest of the area is zero).
    struct AreaImage {
        std::uint32_t firstLba = 0;
        std::uint32_t sectors = 0;
        std::vector<std::uint8_t> head;
    };
    // The areas VerifyDisk reads back, in reading order: the MBR area, the
    // reserved area, and the first sector of each FAT copy.
    struct BuiltAreas {
        AreaImage mbrArea;
        AreaImage reservedArea;
        AreaImage fatCopy1;
        AreaImage fatCopy2;
    };

    // The areas as the current layout and label would build them. False
    // (reason in m_errorText) when the layout cannot be built or a buffer
    // cannot be had.
    bool ExpectedAreas(BuiltAreas* areas);
    bool RefuseUnbuildableLayout();
    // Writes an area of areaSectors at firstLba whose bytes are the buffer's
    // (one command's worth at most, or the whole area when it is shorter)
    // followed by zeros. The buffer is cleared after the first command.
    bool WriteArea(std::uint8_t* buffer, std::uint32_t bufferBytes, std::uint32_t areaSectors,
                   std::uint32_t firstLba);
    // Opens and locks the volume for BuildDisk or VerifyDisk, retrying the
    // lock and dismounting the volume when it stays held elsewhere; on
    // failure nothing stays open and m_errorText says which step failed.
    bool TakeVolume();
    // Dismounts, unlocks and closes the volume taken by TakeVolume.
    void ReleaseVolume();
    // Releases the volume and fails; a null text keeps the one already in
    // m_errorText.
    bool ReleaseVolumeAndFail(const char* errorText);

    // What the last successful BuildDisk wrote, so that the read-back
    // compares against the disk as built even when a later Setup changed the
    // label. Unset until a BuildDisk has succeeded.
    BuiltAreas m_builtAreas;
    bool m_hasBuiltAreas = false;
};
