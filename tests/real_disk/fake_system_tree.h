// A fake /sys, /proc and /dev in a temporary folder, shaped as the kernel
// shows SCSI disks: /sys/block/NAME links into /sys/devices below the SCSI
// device of the disk, which sits below a USB interface or a SATA port.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/sysfs_disks.h"

namespace real_disk_test {

namespace fs = std::filesystem;

struct FakeDisk {
    std::string name = "sdb";
    std::string dev = "8:16";
    bool removable = true;
    bool usb = true;
    std::uint64_t sectors = 3915776;
    std::string vendor = "VORN    ";
    std::string model = "Stick 2G        ";
    std::string revision = "1.00";
    std::string scsiAddress = "6:0:0:0";
    std::string serial = "0123ABC";
    std::vector<std::string> partitions = {"sdb1"};  // devs "8:17", "8:18", ...
};

class FakeSystemTree {
public:
    FakeSystemTree() {
        root_ = fs::temp_directory_path() /
                ("vorn-fake-tree-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::remove_all(root_);
        fs::create_directories(root_ / "sys" / "block");
        fs::create_directories(root_ / "sys" / "class" / "scsi_host");
        fs::create_directories(root_ / "proc" / "self");
        fs::create_directories(root_ / "dev");
        SetMountInfo({"22 1 0:21 / /proc rw,nosuid - proc proc rw",
                      "1 0 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw"});
        Write(root_ / "proc" / "swaps", "Filename\tType\tSize\tUsed\tPriority\n");
    }
    ~FakeSystemTree() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    FakeSystemTree(const FakeSystemTree&) = delete;
    FakeSystemTree& operator=(const FakeSystemTree&) = delete;

    platform::host::SystemRoots Roots() const {
        return {(root_ / "sys").string(), (root_ / "proc").string(), (root_ / "dev").string()};
    }
    fs::path Root() const { return root_; }

    // The device folder of the disk's SCSI device.
    fs::path AddDisk(const FakeDisk& disk) {
        const std::string host = disk.scsiAddress.substr(0, disk.scsiAddress.find(':'));
        fs::path port = disk.usb ? fs::path("pci0000:00/0000:00:14.0/usb2/2-1")
                                 : fs::path("pci0000:00/0000:00:17.0/ata3");
        fs::path usbDevice = root_ / "sys" / "devices" / port;
        fs::path scsiDevice = usbDevice / (disk.usb ? "2-1:1.0" : "") / ("host" + host) /
                              ("target" + disk.scsiAddress.substr(0, disk.scsiAddress.rfind(':'))) /
                              disk.scsiAddress;
        fs::create_directories(scsiDevice);
        if (disk.usb) {
            Write(usbDevice / "idVendor", "1d6b\n");
            Write(usbDevice / "serial", disk.serial + "\n");
        }
        Write(scsiDevice / "vendor", disk.vendor + "\n");
        Write(scsiDevice / "model", disk.model + "\n");
        Write(scsiDevice / "rev", disk.revision + "\n");
        Write(scsiDevice / "delete", "");
        fs::path hostClass = root_ / "sys" / "class" / "scsi_host" / ("host" + host);
        fs::create_directories(hostClass);
        Write(hostClass / "scan", "");

        fs::path block = scsiDevice / "block" / disk.name;
        fs::create_directories(block / "holders");
        fs::create_directory_symlink(fs::relative(scsiDevice, block), block / "device");
        Write(block / "dev", disk.dev + "\n");
        Write(block / "removable", disk.removable ? "1\n" : "0\n");
        Write(block / "size", std::to_string(disk.sectors) + "\n");
        const std::string major = disk.dev.substr(0, disk.dev.find(':'));
        const int minor = std::stoi(disk.dev.substr(disk.dev.find(':') + 1));
        int index = 0;
        for (const std::string& partition : disk.partitions) {
            fs::create_directories(block / partition / "holders");
            Write(block / partition / "partition", std::to_string(++index) + "\n");
            Write(block / partition / "dev", major + ":" + std::to_string(minor + index) + "\n");
            Write(root_ / "dev" / partition, "");
        }
        fs::create_directory_symlink(fs::relative(block, root_ / "sys" / "block"),
                                     root_ / "sys" / "block" / disk.name);
        Write(root_ / "dev" / disk.name, "");
        return scsiDevice;
    }

    void SetMountInfo(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        Write(root_ / "proc" / "self" / "mountinfo", text);
    }
    void AddMount(const std::string& line) {
        std::ofstream(root_ / "proc" / "self" / "mountinfo", std::ios::app) << line << "\n";
    }
    void AddSwap(const std::string& path) {
        std::ofstream(root_ / "proc" / "swaps", std::ios::app)
            << path << "\tpartition\t1048572\t0\t-2\n";
    }
    void AddHolder(const std::string& disk, const std::string& partition, const std::string& holder) {
        fs::path folder = root_ / "sys" / "block" / disk;
        if (!partition.empty()) folder /= partition;
        fs::create_directories(folder / "holders" / holder);
    }

    static std::string Read(const fs::path& path) {
        std::ifstream file(path);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    static void Write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::trunc) << text;
    }

private:
    static inline int counter_ = 0;
    fs::path root_;
};

}  // namespace real_disk_test
