// The label and serial number of the FAT file system on the first
// partition of the disk behind a drive, read from its boot sector through
// the drive's raw device (\\.\E:, the whole stick under Wine), as Windows
// gives them for the volume mounted there. Wine reads them from the
// device's first sector, which on the whole disk is the MBR.
#pragma once

#include <cstdint>
#include <string>

struct BootSectorVolume {
    bool found = false;      // a FAT boot sector with an extended BPB
    std::string label;       // without trailing blanks
    std::uint32_t serial = 0;
    std::string fileSystem;  // "FAT" or "FAT32", as Windows names them
};

// rootPath: "E:\".
BootSectorVolume ReadFirstPartitionVolume(const char* rootPath);
