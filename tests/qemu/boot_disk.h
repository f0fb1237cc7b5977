// A disk image as the layout engine makes it, with files put on the volume
// by mtools, plus the byte-level changes the failure tests need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fatdisk/on_disk_format.h"

namespace qemu_test {

using fatdisk::kSectorSize;

class BootDisk {
public:
    // Writes a fresh sparse image of `sectors` sectors with the layout tool.
    // Check Error() afterwards.
    BootDisk(const std::string& path, std::uint32_t sectors);

    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }
    std::uint32_t PartitionStart() const { return m_partitionStart; }

    // Copies a host file onto the volume under `name`.
    bool Copy(const std::string& hostPath, const std::string& name);
    bool SetAttributes(const std::string& name, const std::string& attributes);
    // The payload files from the payload folder, in install order, with the
    // attributes a make gives them; `leaveOut` names one to skip.
    bool InstallPayload(const std::string& leaveOut = "");

    std::vector<std::uint8_t> ReadSector(std::uint32_t lba) const;
    void WriteSector(std::uint32_t lba, const std::vector<std::uint8_t>& sector) const;
    void PatchByte(std::uint32_t lba, std::uint32_t offset, std::uint8_t value) const;

    // Puts `count` empty files (F0000.BIN, ...) on the volume with one
    // mcopy: each takes one root directory entry and no cluster.
    bool AddEmptyFiles(int count, const std::string& workDir);

    // The first sector of the root directory (FAT32: of its first cluster).
    std::uint32_t RootDirectoryStart() const;
    std::uint32_t SectorsPerCluster() const;
    // The root directory's clusters (FAT32; FAT16 has none).
    std::vector<std::uint32_t> RootClusters() const;
    // Where a root directory entry lies (8.3 name as stored, e.g.
    // "IO      SYS"): its directory sector and its number in the root.
    struct EntryPlace {
        std::uint32_t sector = 0;
        std::uint32_t offset = 0;  // in the sector
        std::uint32_t index = 0;   // entries before it in the root directory
    };
    std::optional<EntryPlace> FindRootEntry(const std::string& storedName) const;
    // The LBA of the first sector of a root directory file, or 0 when there
    // is none.
    std::uint32_t FirstSectorOf(const std::string& storedName) const;
    // Moves a root directory file's clusters to the first free run that
    // starts at `firstLba` or later, and points its entry and both FATs
    // there.
    bool MoveFile(const std::string& storedName, std::uint32_t firstLba);

private:
    struct Volume {
        std::uint32_t clusterSize = 0;
        std::uint32_t rootStart = 0;    // FAT32: the root cluster's first sector
        std::uint32_t rootSectors = 0;  // FAT32: one cluster
        std::uint32_t dataStart = 0;
        std::uint32_t fatStart = 0;
        std::uint32_t fatSectors = 0;
        std::uint32_t fatCount = 0;
        std::uint32_t rootCluster = 0;  // FAT32
        std::uint32_t clusterCount = 0;
        bool fat32 = false;
    };
    Volume ReadVolume() const;
    std::uint32_t ClusterSector(const Volume& volume, std::uint32_t cluster) const;
    std::uint32_t FatEntry(const Volume& volume, std::uint32_t cluster) const;
    void SetFatEntry(const Volume& volume, std::uint32_t cluster, std::uint32_t value) const;
    std::vector<std::uint32_t> Chain(const Volume& volume, std::uint32_t first) const;
    bool Tool(const std::vector<std::string>& argv);
    std::string MtoolsVolume() const;

    std::string m_path;
    std::string m_error;
    std::uint32_t m_partitionStart = 0;
};

}  // namespace qemu_test
