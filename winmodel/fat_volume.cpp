#include "winmodel/fat_volume.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "fatdisk/on_disk_format.h"
#include "platform/byte_order.h"
#include "platform/win_types.h"
#include "winmodel/fat_volume_start.h"
#include "winmodel/model_errors.h"

namespace platform {

using namespace fatdisk;

namespace {

// Directory entry fields past the name and attributes.
constexpr std::uint32_t kDirEntryCaseFlags = 12;     // Windows: 0x08 base, 0x10 extension in lower case
constexpr std::uint32_t kDirEntryClusterHigh = 20;   // 16-bit, FAT32
constexpr std::uint32_t kDirEntryClusterLow = 26;    // 16-bit
constexpr std::uint32_t kDirEntrySize32 = 28;        // 32-bit file size
constexpr std::uint8_t kCaseLowerBase = 0x08;
constexpr std::uint8_t kCaseLowerExtension = 0x10;
constexpr std::uint8_t kEntryFree = 0xE5;            // first name byte of a deleted entry
constexpr std::uint8_t kEntryEnd = 0x00;             // first name byte: no entries follow
constexpr std::uint8_t kAttributeLongName = 0x0F;    // a long-name part, not a file
constexpr std::uint8_t kAttributeDirectory = 0x10;
constexpr std::uint8_t kAttributeArchive = 0x20;
// The attributes a file's entry may hold (read-only, hidden, system, archive).
constexpr std::uint8_t kFileAttributes = 0x27;
constexpr std::uint32_t kFat16EndOfChain = 0xFFFF;
constexpr std::uint32_t kFat32EndOfChain = 0x0FFFFFFF;
constexpr std::uint32_t kFat32EntryMask = 0x0FFFFFFF;
constexpr std::uint32_t kFirstDataCluster = 2;
constexpr std::uint32_t kErrorDiskFull = 112;        // ERROR_DISK_FULL
constexpr std::uint32_t kBaseLength = 8;
constexpr std::uint32_t kExtensionLength = 3;

struct ShortName {
    std::uint8_t name[kLabelLength];
    std::uint8_t caseFlags;
};

bool AllLower(const std::string& part) {
    bool letters = false;
    for (char c : part) {
        if (std::isupper(static_cast<unsigned char>(c))) return false;
        letters = letters || std::islower(static_cast<unsigned char>(c));
    }
    return letters;
}

// The 8.3 name of a plain root name; empty when it has none.
std::optional<ShortName> MakeShortName(const std::string& name) {
    const std::size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (base.empty() || base.size() > kBaseLength || extension.size() > kExtensionLength ||
        extension.find('.') != std::string::npos || name.find(' ') != std::string::npos) {
        return std::nullopt;
    }
    ShortName result{};
    std::memset(result.name, ' ', sizeof result.name);
    for (std::size_t index = 0; index < base.size(); ++index) {
        result.name[index] = static_cast<std::uint8_t>(std::toupper(static_cast<unsigned char>(base[index])));
    }
    for (std::size_t index = 0; index < extension.size(); ++index) {
        result.name[kBaseLength + index] =
            static_cast<std::uint8_t>(std::toupper(static_cast<unsigned char>(extension[index])));
    }
    if (AllLower(base)) result.caseFlags |= kCaseLowerBase;
    if (AllLower(extension)) result.caseFlags |= kCaseLowerExtension;
    return result;
}

// The name an entry shows: base, dot and extension, in the case its flags say.
std::string ShownName(const std::uint8_t* entry, bool withCase) {
    auto part = [&](std::uint32_t from, std::uint32_t length, bool lower) {
        std::string text(reinterpret_cast<const char*>(entry + from), length);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (lower && withCase) {
            for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return text;
    };
    const std::uint8_t flags = entry[kDirEntryCaseFlags];
    std::string name = part(0, kBaseLength, (flags & kCaseLowerBase) != 0);
    const std::string extension = part(kBaseLength, kExtensionLength, (flags & kCaseLowerExtension) != 0);
    if (!extension.empty()) name += "." + extension;
    return name;
}

bool IsFileEntry(const std::uint8_t* entry) {
    const std::uint8_t attributes = entry[kDirEntryAttributes];
    return entry[0] != kEntryEnd && entry[0] != kEntryFree && attributes != kAttributeLongName &&
           (attributes & (kAttributeVolumeLabel | kAttributeDirectory)) == 0;
}

bool IsLabelEntry(const std::uint8_t* entry) {
    const std::uint8_t attributes = entry[kDirEntryAttributes];
    return entry[0] != kEntryEnd && entry[0] != kEntryFree && attributes != kAttributeLongName &&
           (attributes & kAttributeVolumeLabel) != 0;
}

std::uint32_t FirstCluster(const std::uint8_t* entry) {
    return (LoadLe16(entry + kDirEntryClusterHigh) << 16) | LoadLe16(entry + kDirEntryClusterLow);
}

// The file being written: its bytes, placed when it is closed.
class FatFile : public MountedFile {
public:
    FatFile(std::shared_ptr<FatVolume> volume, std::string name) : volume_(std::move(volume)), name_(std::move(name)) {}
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
        return 0;
    }
    std::uint32_t Close() override { return volume_->Commit(name_, bytes_); }

private:
    std::shared_ptr<FatVolume> volume_;
    std::string name_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

FatVolume::FatVolume(SectorIo io, Layout layout) : io_(std::move(io)), layout_(layout) {}

std::shared_ptr<FatVolume> FatVolume::Mount(SectorIo io, std::uint32_t firstSector, std::uint32_t* error) {
    *error = kErrorUnrecognizedVolume;
    std::uint8_t boot[kSectorSize];
    if (!io(firstSector, boot, 1, false) || !LooksLikeFatBootSector(boot)) return nullptr;
    Layout layout;
    layout.firstSector = firstSector;
    layout.sectorsPerCluster = boot[kBpbSectorsPerCluster];
    layout.fatStart = LoadLe16(boot + kBpbReservedSectors);
    layout.numberOfFats = boot[kBpbNumberOfFats];
    const std::uint32_t rootEntries = LoadLe16(boot + kBpbRootEntries);
    const std::uint32_t totalSectors = LoadLe16(boot + kBpbTotalSectors16) != 0 ? LoadLe16(boot + kBpbTotalSectors16)
                                                                               : LoadLe32(boot + kBpbTotalSectors32);
    layout.sectorsPerFat =
        LoadLe16(boot + kBpbSectorsPerFat16) != 0 ? LoadLe16(boot + kBpbSectorsPerFat16) : LoadLe32(boot + kFat32SectorsPerFat);
    layout.rootStart = layout.fatStart + layout.numberOfFats * layout.sectorsPerFat;
    layout.rootSectors = (rootEntries * kDirEntrySize + kSectorSize - 1) / kSectorSize;
    layout.dataStart = layout.rootStart + layout.rootSectors;
    if (layout.sectorsPerCluster == 0 || layout.sectorsPerFat == 0 || totalSectors <= layout.dataStart) return nullptr;
    layout.clusters = (totalSectors - layout.dataStart) / layout.sectorsPerCluster;
    // The cluster count decides the FAT type, as every reader types it.
    if (layout.clusters < kFat16MinClusters) return nullptr;  // FAT12: not modelled
    layout.fat32 = layout.clusters >= kFat32MinClusters;
    if (layout.fat32) {
        layout.rootCluster = LoadLe32(boot + kFat32RootCluster);
        layout.fsInfoSector = LoadLe16(boot + kFat32FsInfoSector);
        layout.serialNumber = LoadLe32(boot + kFat32SerialNumber);
        if (layout.rootCluster < kFirstDataCluster) return nullptr;
    } else {
        layout.serialNumber = LoadLe32(boot + kFat16SerialNumber);
        if (layout.rootSectors == 0) return nullptr;
    }
    // The FAT must map every cluster.
    const std::uint32_t entryBytes = layout.fat32 ? 4 : 2;
    if (std::uint64_t{layout.sectorsPerFat} * kSectorSize / entryBytes < layout.clusters + kFirstDataCluster) {
        return nullptr;
    }
    *error = 0;
    auto volume = std::shared_ptr<FatVolume>(new FatVolume(std::move(io), layout));
    // What a mount and the desktop's first look read: the FSInfo sector of
    // a FAT32 volume, the FAT's first sector (its dirty flag) and the root
    // directory (FAT32: its first cluster).
    std::lock_guard lock(volume->mutex_);
    if (layout.fat32 && layout.fsInfoSector != 0) volume->CachedSector(std::uint64_t{firstSector} + layout.fsInfoSector);
    volume->CachedSector(std::uint64_t{firstSector} + layout.fatStart);
    const std::uint32_t rootSectors = layout.fat32 ? layout.sectorsPerCluster : layout.rootSectors;
    const std::uint64_t rootFirst =
        layout.fat32 ? volume->ClusterSector(layout.rootCluster) : std::uint64_t{firstSector} + layout.rootStart;
    for (std::uint32_t index = 0; index < rootSectors; ++index) volume->CachedSector(rootFirst + index);
    return volume;
}

std::uint8_t* FatVolume::CachedSector(std::uint64_t sector) {
    auto found = cache_.find(sector);
    if (found != cache_.end()) return found->second.data();
    std::vector<std::uint8_t> bytes(kSectorSize);
    if (!io_(sector, bytes.data(), 1, false)) return nullptr;
    return cache_.emplace(sector, std::move(bytes)).first->second.data();
}

bool FatVolume::WriteSector(std::uint64_t sector) {
    auto found = cache_.find(sector);
    return found != cache_.end() && io_(sector, found->second.data(), 1, true);
}

std::uint32_t FatVolume::EndOfChain() const { return layout_.fat32 ? kFat32EndOfChain : kFat16EndOfChain; }

std::uint64_t FatVolume::ClusterSector(std::uint32_t cluster) const {
    return std::uint64_t{layout_.firstSector} + layout_.dataStart +
           std::uint64_t{cluster - kFirstDataCluster} * layout_.sectorsPerCluster;
}

// The FAT entry of a cluster, from the first FAT copy; the end-of-chain
// value for a sector that cannot be read.
std::uint32_t FatVolume::FatEntry(std::uint32_t cluster) {
    const std::uint32_t entryBytes = layout_.fat32 ? 4 : 2;
    const std::uint64_t byte = std::uint64_t{cluster} * entryBytes;
    const std::uint8_t* sector =
        CachedSector(std::uint64_t{layout_.firstSector} + layout_.fatStart + byte / kSectorSize);
    if (sector == nullptr) return EndOfChain();
    const std::uint8_t* at = sector + byte % kSectorSize;
    return layout_.fat32 ? LoadLe32(at) & kFat32EntryMask : LoadLe16(at);
}

// Sets the entry in the cached sector and writes that sector to every FAT copy.
bool FatVolume::SetFatEntry(std::uint32_t cluster, std::uint32_t value) {
    const std::uint32_t entryBytes = layout_.fat32 ? 4 : 2;
    const std::uint64_t byte = std::uint64_t{cluster} * entryBytes;
    const std::uint64_t first = std::uint64_t{layout_.firstSector} + layout_.fatStart + byte / kSectorSize;
    std::uint8_t* sector = CachedSector(first);
    if (sector == nullptr) return false;
    std::uint8_t* at = sector + byte % kSectorSize;
    if (layout_.fat32) {
        StoreLe32(at, (LoadLe32(at) & ~kFat32EntryMask) | (value & kFat32EntryMask));
    } else {
        StoreLe16(at, value);
    }
    for (std::uint32_t copy = 0; copy < layout_.numberOfFats; ++copy) {
        if (!io_(first + std::uint64_t{copy} * layout_.sectorsPerFat, sector, 1, true)) return false;
    }
    return true;
}

std::vector<std::uint64_t> FatVolume::RootSectors() {
    std::vector<std::uint64_t> sectors;
    if (!layout_.fat32) {
        for (std::uint32_t index = 0; index < layout_.rootSectors; ++index) {
            sectors.push_back(std::uint64_t{layout_.firstSector} + layout_.rootStart + index);
        }
        return sectors;
    }
    // FAT32: the root's cluster chain, cut short at a loop or a bad entry.
    std::uint32_t cluster = layout_.rootCluster;
    for (std::uint32_t guard = 0; guard <= layout_.clusters && cluster >= kFirstDataCluster &&
                                  cluster < layout_.clusters + kFirstDataCluster;
         ++guard) {
        for (std::uint32_t index = 0; index < layout_.sectorsPerCluster; ++index) {
            sectors.push_back(ClusterSector(cluster) + index);
        }
        cluster = FatEntry(cluster);
    }
    return sectors;
}

std::optional<FatVolume::EntryPlace> FatVolume::FindEntry(const std::uint8_t* shortName) {
    for (std::uint64_t sector : RootSectors()) {
        const std::uint8_t* bytes = CachedSector(sector);
        if (bytes == nullptr) return std::nullopt;
        for (std::uint32_t offset = 0; offset < kSectorSize; offset += kDirEntrySize) {
            const std::uint8_t* entry = bytes + offset;
            if (entry[0] == kEntryEnd) return std::nullopt;
            if (IsFileEntry(entry) && std::memcmp(entry, shortName, kLabelLength) == 0) {
                return EntryPlace{sector, offset};
            }
        }
    }
    return std::nullopt;
}

std::optional<FatVolume::EntryPlace> FatVolume::FreeEntry() {
    for (std::uint64_t sector : RootSectors()) {
        const std::uint8_t* bytes = CachedSector(sector);
        if (bytes == nullptr) return std::nullopt;
        for (std::uint32_t offset = 0; offset < kSectorSize; offset += kDirEntrySize) {
            if (bytes[offset] == kEntryEnd || bytes[offset] == kEntryFree) return EntryPlace{sector, offset};
        }
    }
    return std::nullopt;
}

bool FatVolume::FreeChain(std::uint32_t first) {
    std::uint32_t cluster = first;
    std::int64_t freed = 0;
    for (std::uint32_t guard = 0; guard <= layout_.clusters && cluster >= kFirstDataCluster &&
                                  cluster < layout_.clusters + kFirstDataCluster;
         ++guard) {
        const std::uint32_t next = FatEntry(cluster);
        if (!SetFatEntry(cluster, 0)) return false;
        ++freed;
        cluster = next;
    }
    UpdateFsInfo(freed, 0);
    return true;
}

// The FSInfo sector as the driver keeps it: its free count moved by the
// clusters freed (negative: taken) and its hint set, written back where the
// mounted layout has it.
void FatVolume::UpdateFsInfo(std::int64_t freedClusters, std::uint32_t nextFree) {
    if (!layout_.fat32 || layout_.fsInfoSector == 0 || freedClusters == 0) return;
    const std::uint64_t sector = std::uint64_t{layout_.firstSector} + layout_.fsInfoSector;
    std::uint8_t* bytes = CachedSector(sector);
    if (bytes == nullptr) return;
    const std::uint32_t count = LoadLe32(bytes + kFsInfoFreeCount);
    if (count != kFsInfoUnknown) StoreLe32(bytes + kFsInfoFreeCount, static_cast<std::uint32_t>(count + freedClusters));
    if (nextFree != 0) StoreLe32(bytes + kFsInfoNextFree, nextFree);
    WriteSector(sector);
}

std::unique_ptr<MountedFile> FatVolume::Create(const std::string& name, std::uint32_t* error) {
    std::optional<ShortName> shortName = MakeShortName(name);
    if (!shortName) {
        *error = kErrorInvalidName;
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    std::optional<EntryPlace> place = FindEntry(shortName->name);
    if (place) {
        // CREATE_ALWAYS truncates: the clusters go back to the FAT at once.
        std::uint8_t* entry = CachedSector(place->sector) + place->offset;
        const std::uint32_t first = FirstCluster(entry);
        StoreLe16(entry + kDirEntryClusterHigh, 0);
        StoreLe16(entry + kDirEntryClusterLow, 0);
        StoreLe32(entry + kDirEntrySize32, 0);
        entry[kDirEntryAttributes] = kAttributeArchive;
        if (!WriteSector(place->sector) || !FreeChain(first)) {
            *error = ERROR_WRITE_FAULT;
            return nullptr;
        }
    } else {
        place = FreeEntry();
        if (!place) {
            *error = kErrorDiskFull;
            return nullptr;
        }
        std::uint8_t* entry = CachedSector(place->sector) + place->offset;
        std::memset(entry, 0, kDirEntrySize);
        std::memcpy(entry, shortName->name, kLabelLength);
        entry[kDirEntryAttributes] = kAttributeArchive;
        entry[kDirEntryCaseFlags] = shortName->caseFlags;
        if (!WriteSector(place->sector)) {
            *error = ERROR_WRITE_FAULT;
            return nullptr;
        }
    }
    *error = 0;
    return std::make_unique<FatFile>(shared_from_this(), name);
}

std::uint32_t FatVolume::Commit(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::optional<ShortName> shortName = MakeShortName(name);
    if (!shortName) return kErrorInvalidName;
    std::lock_guard lock(mutex_);
    std::optional<EntryPlace> place = FindEntry(shortName->name);
    if (!place) return ERROR_FILE_NOT_FOUND;
    const std::uint32_t clusterBytes = layout_.sectorsPerCluster * kSectorSize;
    const std::uint32_t needed = static_cast<std::uint32_t>((bytes.size() + clusterBytes - 1) / clusterBytes);
    // First fit over the FAT as the volume knows it.
    std::vector<std::uint32_t> chain;
    for (std::uint32_t cluster = kFirstDataCluster; chain.size() < needed && cluster < layout_.clusters + kFirstDataCluster;
         ++cluster) {
        if (FatEntry(cluster) == 0) chain.push_back(cluster);
    }
    if (chain.size() < needed) return kErrorDiskFull;
    std::vector<std::uint8_t> cluster(clusterBytes);
    for (std::size_t index = 0; index < chain.size(); ++index) {
        const std::size_t from = index * clusterBytes;
        const std::size_t count = std::min<std::size_t>(clusterBytes, bytes.size() - from);
        std::fill(cluster.begin(), cluster.end(), 0);
        std::memcpy(cluster.data(), bytes.data() + from, count);
        if (!io_(ClusterSector(chain[index]), cluster.data(), layout_.sectorsPerCluster, true)) return ERROR_WRITE_FAULT;
    }
    for (std::size_t index = 0; index < chain.size(); ++index) {
        const std::uint32_t next = index + 1 < chain.size() ? chain[index + 1] : EndOfChain();
        if (!SetFatEntry(chain[index], next)) return ERROR_WRITE_FAULT;
    }
    std::uint8_t* entry = CachedSector(place->sector) + place->offset;
    const std::uint32_t first = chain.empty() ? 0 : chain.front();
    StoreLe16(entry + kDirEntryClusterHigh, first >> 16);
    StoreLe16(entry + kDirEntryClusterLow, first & 0xFFFF);
    StoreLe32(entry + kDirEntrySize32, static_cast<std::uint32_t>(bytes.size()));
    if (!WriteSector(place->sector)) return ERROR_WRITE_FAULT;
    if (!chain.empty()) UpdateFsInfo(-static_cast<std::int64_t>(chain.size()), chain.back() + 1);
    return 0;
}

std::uint32_t FatVolume::SetAttributes(const std::string& name, std::uint32_t attributes) {
    std::optional<ShortName> shortName = MakeShortName(name);
    if (!shortName) return kErrorInvalidName;
    std::lock_guard lock(mutex_);
    std::optional<EntryPlace> place = FindEntry(shortName->name);
    if (!place) return ERROR_FILE_NOT_FOUND;
    std::uint8_t* entry = CachedSector(place->sector) + place->offset;
    entry[kDirEntryAttributes] = static_cast<std::uint8_t>(attributes & kFileAttributes);
    return WriteSector(place->sector) ? 0 : ERROR_WRITE_FAULT;
}

std::optional<std::uint32_t> FatVolume::Attributes(const std::string& name) {
    std::optional<ShortName> shortName = MakeShortName(name);
    if (!shortName) return std::nullopt;
    std::lock_guard lock(mutex_);
    std::optional<EntryPlace> place = FindEntry(shortName->name);
    if (!place) return std::nullopt;
    return CachedSector(place->sector)[place->offset + kDirEntryAttributes];
}

std::optional<VolumeInformation> FatVolume::Information() {
    std::lock_guard lock(mutex_);
    VolumeInformation information{"", layout_.serialNumber, layout_.fat32 ? "FAT32" : "FAT"};
    // The label is the root directory's label entry (the boot sector's
    // copy is not what the system shows).
    for (std::uint64_t sector : RootSectors()) {
        const std::uint8_t* bytes = CachedSector(sector);
        if (bytes == nullptr) break;
        for (std::uint32_t offset = 0; offset < kSectorSize; offset += kDirEntrySize) {
            if (bytes[offset] == kEntryEnd) return information;
            if (IsLabelEntry(bytes + offset)) {
                std::string label(reinterpret_cast<const char*>(bytes + offset), kLabelLength);
                while (!label.empty() && label.back() == ' ') label.pop_back();
                information.label = label;
                return information;
            }
        }
    }
    return information;
}

std::optional<std::vector<DirectoryEntry>> FatVolume::ListRoot() {
    std::lock_guard lock(mutex_);
    std::vector<DirectoryEntry> entries;
    for (std::uint64_t sector : RootSectors()) {
        const std::uint8_t* bytes = CachedSector(sector);
        if (bytes == nullptr) return std::nullopt;
        for (std::uint32_t offset = 0; offset < kSectorSize; offset += kDirEntrySize) {
            const std::uint8_t* entry = bytes + offset;
            if (entry[0] == kEntryEnd) return entries;
            if (!IsFileEntry(entry)) continue;
            entries.push_back(DirectoryEntry{ShownName(entry, true), ShownName(entry, false),
                                             LoadLe32(entry + kDirEntrySize32), entry[kDirEntryAttributes]});
        }
    }
    return entries;
}

std::optional<std::vector<std::uint8_t>> FatVolume::ReadFile(const std::string& name) {
    std::optional<ShortName> shortName = MakeShortName(name);
    if (!shortName) return std::nullopt;
    std::lock_guard lock(mutex_);
    std::optional<EntryPlace> place = FindEntry(shortName->name);
    if (!place) return std::nullopt;
    const std::uint8_t* entry = CachedSector(place->sector) + place->offset;
    const std::uint32_t size = LoadLe32(entry + kDirEntrySize32);
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> cluster(std::size_t{layout_.sectorsPerCluster} * kSectorSize);
    std::uint32_t at = FirstCluster(entry);
    while (bytes.size() < size) {
        if (at < kFirstDataCluster || at >= layout_.clusters + kFirstDataCluster) return std::nullopt;
        if (!io_(ClusterSector(at), cluster.data(), layout_.sectorsPerCluster, false)) return std::nullopt;
        const std::size_t count = std::min<std::size_t>(cluster.size(), size - bytes.size());
        bytes.insert(bytes.end(), cluster.begin(), cluster.begin() + static_cast<std::ptrdiff_t>(count));
        at = FatEntry(at);
    }
    return bytes;
}

}  // namespace platform
