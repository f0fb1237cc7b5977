// The Windows program's real system services with stand-ins for what Wine
// on a Linux kernel does not do as Windows does (all else is Wine's):
// - the device restart: Wine's SetupDiSetClassInstallParamsA is a stub
//   that fails, so a property change never reaches a class installer. Here
//   the two calls check the request as Windows does and hand the restart to
//   the rig outside the program: the call prints "RESTART <n> <device
//   instance ID>" and waits, as Windows's class installer does, until the
//   rig has deleted and rescanned the SCSI disk and mounted the new
//   partition where E: points (restart_stand_in.cpp);
// - the partition table re-read: IOCTL_DISK_UPDATE_PROPERTIES makes Windows
//   read the partition table again and mount the dismounted volume afresh;
//   Wine has no disk driver for it. The call goes to Wine, prints "REREAD
//   <n> <Wine's answer>" and waits until the rig has re-read the table and
//   mounted the new partition (restart_stand_in.cpp);
// - the volume information: Wine reads the label and serial number from
//   the first sector of the drive's device, the whole stick here; Windows
//   answers from the file system mounted on the volume (drive_stand_in.cpp);
// - the hidden and system attributes: Wine keeps them in an extended
//   attribute, which vfat lacks, so they are lost on the stick. The bits the
//   program set are kept here and shown in the directory listing; read-only
//   stays Wine's, on the stick (drive_stand_in.cpp).
// The rig signals each step done with the file restart-<n>.done or
// reread-<n>.done in the sync folder (VORN_WINE_SYNC_DIR).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "win32/win32_system.h"

namespace wine_guest {

class WineStandIns : public platform::Win32System {
public:
    bool SetupDiSetClassInstallParamsA(platform::DevInfoSet set, platform::SP_DEVINFO_DATA* data,
                                       platform::SP_CLASSINSTALL_HEADER* params,
                                       std::uint32_t paramsSize) override;
    bool SetupDiCallClassInstaller(std::uint32_t installFunction, platform::DevInfoSet set,
                                   platform::SP_DEVINFO_DATA* data) override;
    bool DeviceIoControl(platform::Handle handle, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override;

    // The label and serial number of the file system on the stick's first
    // partition (boot_sector_volume.h), which the rig has mounted at the
    // drive, reported as "VOLUME-SEEN <root> [label] serial"; Wine's own
    // answer (from the whole disk's first sector) as "VOLUME-WINE".
    bool GetVolumeInformationA(const char* rootPath, char* volumeName, std::uint32_t volumeNameSize,
                               std::uint32_t* serialNumber, std::uint32_t* maxComponentLength,
                               std::uint32_t* fileSystemFlags, char* fileSystemName,
                               std::uint32_t fileSystemNameSize) override;

    bool SetFileAttributesA(const char* path, std::uint32_t attributes) override;
    platform::Handle FindFirstFileA(const char* pattern, platform::WIN32_FIND_DATAA* data) override;
    bool FindNextFileA(platform::Handle search, platform::WIN32_FIND_DATAA* data) override;
    bool FindClose(platform::Handle search) override;

private:
    // Adds the kept hidden and system bits of the entry in the search's folder.
    void AddKeptAttributes(platform::Handle search, platform::WIN32_FIND_DATAA* data);

    std::mutex mutex_;
    std::set<platform::DEVINST> pending_;  // devices with a property change set
    int restarts_ = 0;
    int rereads_ = 0;
    std::map<std::string, std::uint32_t> keptAttributes_;  // upper-cased path -> hidden and system bits
    std::map<platform::Handle, std::string> searchFolders_;  // search -> upper-cased folder with its '\'
};

}  // namespace wine_guest
