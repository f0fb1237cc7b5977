#include "tests/qemu/boot_disk.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/payload_expectations.h"
#include "tests/qemu/child_process.h"

#ifndef VORN_LAYOUT_TOOL
#error "VORN_LAYOUT_TOOL: the path of vorn_write_layout_image"
#endif
#ifndef VORN_PAYLOAD_DIR
#error "VORN_PAYLOAD_DIR: the folder of the built payload files"
#endif

namespace qemu_test {

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
    for (const PayloadFile& file : kPayloadFiles) {
        if (file.name == leaveOut) continue;
        if (!Copy(std::string(VORN_PAYLOAD_DIR) + "/" + file.name, file.name)) return false;
    }
    for (const PayloadFile& file : kPayloadFiles) {
        const std::string attributes = payload_expectations::MattribArguments(payload_expectations::FinalAttributes(file));
        if (file.name == leaveOut || attributes.empty()) continue;
        if (!SetAttributes(file.name, attributes)) return false;
    }
    return true;
}

bool BootDisk::AddEmptyFiles(int count, const std::string& workDir) {
    const std::string folder = workDir + "/empty-files";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::vector<std::string> argv = {"mcopy", "-i", MtoolsVolume()};
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%04d.BIN", i);
        std::ofstream(folder + "/" + name);
        argv.push_back(folder + "/" + name);
    }
    argv.push_back("::");
    return Tool(argv);
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

}  // namespace qemu_test
