#include "tests/qemu/boot_disk.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/qemu/child_process.h"

#ifndef VORN_LAYOUT_TOOL
#error "VORN_LAYOUT_TOOL: the path of vorn_write_layout_image"
#endif
#ifndef VORN_PAYLOAD_DIR
#error "VORN_PAYLOAD_DIR: the folder of the built payload files"
#endif

namespace qemu_test {
namespace {

// Boot sector fields.
constexpr std::uint32_t kSectorsPerClusterOffset = 13;
constexpr std::uint32_t kReservedSectorsOffset = 14;
constexpr std::uint32_t kFatCountOffset = 16;
constexpr std::uint32_t kRootEntriesOffset = 17;
constexpr std::uint32_t kSectorsPerFat16Offset = 22;
constexpr std::uint32_t kSectorsPerFat32Offset = 36;
constexpr std::uint32_t kRootClusterOffset = 44;
// Directory entries.
constexpr std::uint32_t kDirEntrySize = 32;
constexpr std::uint32_t kDirNameSize = 11;
constexpr std::uint32_t kDirClusterHighOffset = 20;
constexpr std::uint32_t kDirClusterLowOffset = 26;
constexpr std::uint32_t kFirstDataCluster = 2;

std::uint32_t Le16(const std::vector<std::uint8_t>& bytes, std::uint32_t at) {
    return bytes[at] | (std::uint32_t{bytes[at + 1]} << 8);
}
std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::uint32_t at) {
    return Le16(bytes, at) | (Le16(bytes, at + 2) << 16);
}

}  // namespace

BootDisk::BootDisk(const std::string& path, std::uint32_t sectors) : m_path(path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::remove(path);
    const ProgramResult result = RunProgram({VORN_LAYOUT_TOOL, path, std::to_string(sectors)});
    std::smatch offset;
    static const std::regex offsetLine(R"(partition_offset: ([0-9]+))");
    if (result.exitCode != 0 || !std::regex_search(result.output, offset, offsetLine)) {
        m_error = "vorn_write_layout_image failed: " + result.output;
        return;
    }
    m_partitionStart = static_cast<std::uint32_t>(std::stoull(offset[1].str()) / kSectorSize);
}

std::string BootDisk::MtoolsVolume() const {
    return m_path + "@@" + std::to_string(std::uint64_t{m_partitionStart} * kSectorSize);
}

bool BootDisk::Tool(const std::vector<std::string>& argv) {
    const ProgramResult result = RunProgram(argv);
    if (result.exitCode == 0) return true;
    m_error += argv[0] + " failed: " + result.output + "\n";
    return false;
}

bool BootDisk::Copy(const std::string& hostPath, const std::string& name) {
    return Tool({"mcopy", "-i", MtoolsVolume(), hostPath, "::" + name});
}

bool BootDisk::SetAttributes(const std::string& name, const std::string& attributes) {
    std::vector<std::string> argv = {"mattrib", "-i", MtoolsVolume()};
    std::istringstream words(attributes);
    for (std::string word; words >> word;) argv.push_back(word);
    argv.push_back("::" + name);
    return Tool(argv);
}

bool BootDisk::InstallPayload(const std::string& leaveOut) {
    for (const PayloadFile& file : kPayload) {
        if (file.name == leaveOut) continue;
        if (!Copy(std::string(VORN_PAYLOAD_DIR) + "/" + file.name, file.name)) return false;
    }
    for (const PayloadFile& file : kPayload) {
        if (file.name == leaveOut || file.attributes[0] == '\0') continue;
        if (!SetAttributes(file.name, file.attributes)) return false;
    }
    return true;
}

std::vector<std::uint8_t> BootDisk::ReadSector(std::uint32_t lba) const {
    std::vector<std::uint8_t> sector(kSectorSize, 0);
    std::ifstream file(m_path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(std::uint64_t{lba} * kSectorSize));
    file.read(reinterpret_cast<char*>(sector.data()), kSectorSize);
    return sector;
}

void BootDisk::WriteSector(std::uint32_t lba, const std::vector<std::uint8_t>& sector) const {
    std::fstream file(m_path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(std::uint64_t{lba} * kSectorSize));
    file.write(reinterpret_cast<const char*>(sector.data()), static_cast<std::streamsize>(sector.size()));
}

void BootDisk::PatchByte(std::uint32_t lba, std::uint32_t offset, std::uint8_t value) const {
    std::vector<std::uint8_t> sector = ReadSector(lba);
    sector.at(offset) = value;
    WriteSector(lba, sector);
}

BootDisk::Volume BootDisk::ReadVolume() const {
    const std::vector<std::uint8_t> boot = ReadSector(m_partitionStart);
    Volume volume;
    volume.clusterSize = boot[kSectorsPerClusterOffset];
    volume.fat32 = Le16(boot, kSectorsPerFat16Offset) == 0;
    const std::uint32_t fatSize =
        volume.fat32 ? Le32(boot, kSectorsPerFat32Offset) : Le16(boot, kSectorsPerFat16Offset);
    const std::uint32_t fatsEnd = m_partitionStart + Le16(boot, kReservedSectorsOffset) + boot[kFatCountOffset] * fatSize;
    if (volume.fat32) {
        volume.dataStart = fatsEnd;
        volume.rootStart = fatsEnd + (Le32(boot, kRootClusterOffset) - kFirstDataCluster) * volume.clusterSize;
        volume.rootSectors = volume.clusterSize;
    } else {
        volume.rootStart = fatsEnd;
        volume.rootSectors = (Le16(boot, kRootEntriesOffset) * kDirEntrySize + kSectorSize - 1) / kSectorSize;
        volume.dataStart = fatsEnd + volume.rootSectors;
    }
    return volume;
}

std::uint32_t BootDisk::RootDirectoryStart() const { return ReadVolume().rootStart; }

std::uint32_t BootDisk::FirstSectorOf(const std::string& storedName) const {
    const Volume volume = ReadVolume();
    for (std::uint32_t s = 0; s < volume.rootSectors; ++s) {
        const std::vector<std::uint8_t> sector = ReadSector(volume.rootStart + s);
        for (std::uint32_t at = 0; at < kSectorSize; at += kDirEntrySize) {
            if (std::string(sector.begin() + at, sector.begin() + at + kDirNameSize) != storedName) continue;
            const std::uint32_t high = volume.fat32 ? Le16(sector, at + kDirClusterHighOffset) : 0;
            const std::uint32_t cluster = Le16(sector, at + kDirClusterLowOffset) | (high << 16);
            if (cluster < kFirstDataCluster) return 0;
            return volume.dataStart + (cluster - kFirstDataCluster) * volume.clusterSize;
        }
    }
    return 0;
}

}  // namespace qemu_test
