#include "host/sysfs_disks.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace platform::host {

namespace {

// The first line of a sysfs attribute, without trailing blanks.
std::string ReadAttribute(const fs::path& path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) return {};
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    std::size_t start = 0;
    while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start]))) ++start;
    return line.substr(start);
}

// The names of what is stacked on the disk or its partitions ("dm-0").
std::vector<std::string> Holders(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder / "holders", error)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

bool IsUsbHostControllerFolder(const std::string& name) {
    static const std::regex pattern("usb[0-9]+");
    return std::regex_match(name, pattern);
}

struct DeviceFacts {
    bool usb = false;
    std::string scsiAddress;
    std::string serial;
};

// Where the disk's device sits: below a USB interface or not, its SCSI
// address (the device folder's name) and the USB device's serial number.
DeviceFacts ReadDeviceFacts(const fs::path& diskFolder, const fs::path& sysRoot) {
    DeviceFacts facts;
    std::error_code error;
    fs::path device = fs::canonical(diskFolder / "device", error);
    if (error) return facts;
    static const std::regex address("[0-9]+:[0-9]+:[0-9]+:[0-9]+");
    if (std::regex_match(device.filename().string(), address)) {
        facts.scsiAddress = device.filename().string();
    }
    const fs::path top = fs::weakly_canonical(sysRoot, error);
    for (fs::path folder = device; !folder.empty() && folder != top && folder != folder.root_path();
         folder = folder.parent_path()) {
        if (IsUsbHostControllerFolder(folder.filename().string())) facts.usb = true;
        if (facts.serial.empty() && fs::exists(folder / "idVendor", error)) {
            facts.serial = ReadAttribute(folder / "serial");
        }
    }
    return facts;
}

// What uses a block device node, by node name ("sdb1") and by "major:minor".
struct UseTable {
    bool readable = false;
    std::string rootDev;  // major:minor of the root file system
    std::string rootSource;
    std::map<std::string, std::string> mountedDevs;     // dev -> mount point
    std::map<std::string, std::string> mountedSources;  // node name -> mount point
    std::vector<std::string> swapNodes;
};

// "/dev/sdb1" (or a link to it) as the node's name, read below the dev root.
std::string NodeName(const std::string& path, const SystemRoots& roots) {
    if (path.rfind("/dev/", 0) != 0) return {};
    std::error_code error;
    fs::path local = fs::path(roots.dev) / path.substr(5);
    fs::path resolved = fs::weakly_canonical(local, error);
    return (error ? local : resolved).filename().string();
}

// mountinfo escapes blanks and backslashes in paths as octal "\040".
std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

UseTable ReadUseTable(const SystemRoots& roots) {
    UseTable table;
    std::ifstream mountinfo(fs::path(roots.proc) / "self" / "mountinfo");
    if (mountinfo) {
        table.readable = true;
        std::string line;
        while (std::getline(mountinfo, line)) {
            // id parent major:minor root mount-point options [tags] - type source options
            std::istringstream fields(line);
            std::string id, parent, dev, root, mountPoint, word;
            if (!(fields >> id >> parent >> dev >> root >> mountPoint)) continue;
            mountPoint = Unescape(mountPoint);
            std::string type, source;
            while (fields >> word && word != "-") {
            }
            fields >> type >> source;
            source = NodeName(Unescape(source), roots);
            table.mountedDevs.emplace(dev, mountPoint);
            if (!source.empty()) table.mountedSources.emplace(source, mountPoint);
            if (mountPoint == "/") {
                table.rootDev = dev;
                table.rootSource = source;
            }
        }
    } else {
        std::ifstream mounts(fs::path(roots.proc) / "mounts");
        table.readable = static_cast<bool>(mounts);
        std::string line;
        while (std::getline(mounts, line)) {
            std::istringstream fields(line);
            std::string source, mountPoint;
            if (!(fields >> source >> mountPoint)) continue;
            mountPoint = Unescape(mountPoint);
            source = NodeName(Unescape(source), roots);
            if (source.empty()) continue;
            table.mountedSources.emplace(source, mountPoint);
            if (mountPoint == "/") table.rootSource = source;
        }
    }
    // A kernel without swap support has no swaps file: nothing is swap then.
    std::ifstream swaps(fs::path(roots.proc) / "swaps");
    std::string line;
    std::getline(swaps, line);  // the heading
    while (std::getline(swaps, line)) {
        std::istringstream fields(line);
        std::string path;
        if (fields >> path) {
            std::string node = NodeName(Unescape(path), roots);
            if (!node.empty()) table.swapNodes.push_back(node);
        }
    }
    return table;
}

// Why the disk must not be written, or empty.
std::string Refusal(const BlockDisk& disk, const std::vector<std::string>& holders,
                    const UseTable& uses) {
    if (!disk.removable) return "is not a removable disk";
    if (!disk.usb) return "is not a USB disk";
    if (!uses.readable) return "cannot be checked: the mount table cannot be read";

    std::vector<std::pair<std::string, std::string>> nodes{{disk.name, disk.dev}};
    for (const BlockPartition& partition : disk.partitions) {
        nodes.emplace_back(partition.name, partition.dev);
    }
    for (const auto& [name, dev] : nodes) {
        if ((!uses.rootDev.empty() && dev == uses.rootDev) || name == uses.rootSource) {
            return "holds the root file system";
        }
    }
    for (const auto& [name, dev] : nodes) {
        auto byDev = uses.mountedDevs.find(dev);
        auto bySource = uses.mountedSources.find(name);
        if (byDev != uses.mountedDevs.end() || bySource != uses.mountedSources.end()) {
            const std::string& where =
                byDev != uses.mountedDevs.end() ? byDev->second : bySource->second;
            return "has a mounted file system (" + name + " on " + where + ")";
        }
    }
    for (const auto& [name, dev] : nodes) {
        if (std::find(uses.swapNodes.begin(), uses.swapNodes.end(), name) != uses.swapNodes.end()) {
            return "is in use as swap (" + name + ")";
        }
    }
    if (!holders.empty()) return "is in use by " + holders.front();
    if (disk.sectors == 0) return "has no medium";
    return {};
}

BlockDisk ReadDisk(const fs::path& folder, const SystemRoots& roots, const UseTable& uses) {
    BlockDisk disk;
    disk.name = folder.filename().string();
    disk.dev = ReadAttribute(folder / "dev");
    disk.removable = ReadAttribute(folder / "removable") == "1";
    const std::string size = ReadAttribute(folder / "size");
    disk.sectors = size.empty() || !std::isdigit(static_cast<unsigned char>(size[0]))
                       ? 0
                       : std::stoull(size);
    disk.vendor = ReadAttribute(folder / "device" / "vendor");
    disk.model = ReadAttribute(folder / "device" / "model");
    disk.revision = ReadAttribute(folder / "device" / "rev");
    DeviceFacts facts = ReadDeviceFacts(folder, roots.sys);
    disk.usb = facts.usb;
    disk.scsiAddress = facts.scsiAddress;
    disk.serial = facts.serial;

    std::vector<std::string> holders = Holders(folder);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (!fs::exists(entry.path() / "partition", error)) continue;
        disk.partitions.push_back(
            {entry.path().filename().string(), ReadAttribute(entry.path() / "dev")});
        for (std::string& holder : Holders(entry.path())) holders.push_back(std::move(holder));
    }
    std::sort(disk.partitions.begin(), disk.partitions.end(),
              [](const BlockPartition& a, const BlockPartition& b) { return a.name < b.name; });
    disk.refusal = Refusal(disk, holders, uses);
    return disk;
}

}  // namespace

std::vector<BlockDisk> ScanBlockDisks(const SystemRoots& roots, std::string* error) {
    std::vector<BlockDisk> disks;
    const fs::path block = fs::path(roots.sys) / "block";
    std::error_code code;
    fs::directory_iterator entries(block, code);
    if (code) {
        if (error != nullptr) *error = "cannot read " + block.string() + ": " + code.message();
        return disks;
    }
    const UseTable uses = ReadUseTable(roots);
    for (const auto& entry : entries) disks.push_back(ReadDisk(entry.path(), roots, uses));
    std::sort(disks.begin(), disks.end(),
              [](const BlockDisk& a, const BlockDisk& b) { return a.name < b.name; });
    if (error != nullptr) error->clear();
    return disks;
}

BlockDisk FindDiskByScsiAddress(const SystemRoots& roots, const std::string& scsiAddress) {
    if (scsiAddress.empty()) return {};
    for (BlockDisk& disk : ScanBlockDisks(roots, nullptr)) {
        if (disk.scsiAddress == scsiAddress) return disk;
    }
    return {};
}

}  // namespace platform::host
