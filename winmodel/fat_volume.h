// A FAT16 or FAT32 file system as a mounted volume of the Windows model:
// what the file system driver knows of a volume once it has mounted it.
//
// Mounting reads the boot sector at the volume's first sector, a FAT32
// volume's FSInfo sector, the FAT's first sector and the root directory;
// from then on the volume keeps that layout and every FAT and directory
// sector it has read, as the driver's cache does.
// Raw writes beneath it change nothing it believes: files are placed by the
// layout and the FAT it knows, and what it writes (file data, FAT sectors
// to both copies, directory sectors, the FSInfo sector) goes to the sectors
// of that layout, whatever the disk holds there now. Only a new mount reads
// the disk afresh.
//
// Files live in the root directory under 8.3 names; a name whose base or
// extension is all lower case is kept with the case flags Windows uses.
// Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "winmodel/model_drive.h"

namespace platform {

// Moves whole sectors between the disk and memory: count sectors from the
// disk's sector lba. True when it could.
using SectorIo = std::function<bool(std::uint64_t lba, std::uint8_t* data, std::uint32_t count, bool write)>;

class FatVolume : public MountedVolume, public std::enable_shared_from_this<FatVolume> {
public:
    // The volume whose boot sector is at firstSector; null with *error
    // ERROR_UNRECOGNIZED_VOLUME when no FAT16 or FAT32 boot sector is
    // there, or a read error.
    static std::shared_ptr<FatVolume> Mount(SectorIo io, std::uint32_t firstSector, std::uint32_t* error);

    std::unique_ptr<MountedFile> Create(const std::string& name, std::uint32_t* error) override;
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t attributes) override;
    std::optional<std::uint32_t> Attributes(const std::string& name) override;
    std::optional<VolumeInformation> Information() override;
    std::optional<std::vector<DirectoryEntry>> ListRoot() override;

    // The bytes of a root file, following its cluster chain; empty when
    // there is no such file or a sector cannot be read.
    std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& name);

    // Writes a closed file's bytes: clusters from the FAT, the data, the
    // chain, the directory entry. Returns 0 or the error.
    std::uint32_t Commit(const std::string& name, const std::vector<std::uint8_t>& bytes);

private:
    struct Layout {
        std::uint32_t firstSector = 0;     // of the volume on the disk
        std::uint32_t sectorsPerCluster = 0;
        std::uint32_t fatStart = 0;        // from the volume's first sector
        std::uint32_t sectorsPerFat = 0;
        std::uint32_t numberOfFats = 0;
        std::uint32_t rootStart = 0;       // FAT16: the fixed root area
        std::uint32_t rootSectors = 0;
        std::uint32_t rootCluster = 0;     // FAT32
        std::uint32_t dataStart = 0;
        std::uint32_t clusters = 0;        // data clusters, numbered from 2
        std::uint32_t fsInfoSector = 0;    // FAT32; 0: none
        bool fat32 = false;
        std::uint32_t serialNumber = 0;
    };
    // Where a directory entry lives: its sector on the disk and offset.
    struct EntryPlace {
        std::uint64_t sector;
        std::uint32_t offset;
    };

    FatVolume(SectorIo io, Layout layout);

    // Sector access through the cache (disk sector numbers). Locked.
    std::uint8_t* CachedSector(std::uint64_t sector);
    bool WriteSector(std::uint64_t sector);
    std::uint32_t FatEntry(std::uint32_t cluster);
    bool SetFatEntry(std::uint32_t cluster, std::uint32_t value);
    std::uint32_t EndOfChain() const;
    std::uint64_t ClusterSector(std::uint32_t cluster) const;
    std::vector<std::uint64_t> RootSectors();
    std::optional<EntryPlace> FindEntry(const std::uint8_t* shortName);
    std::optional<EntryPlace> FreeEntry();
    bool FreeChain(std::uint32_t first);
    void UpdateFsInfo(std::int64_t freedClusters, std::uint32_t nextFree);

    SectorIo io_;
    const Layout layout_;
    std::mutex mutex_;
    std::map<std::uint64_t, std::vector<std::uint8_t>> cache_;
};

}  // namespace platform
