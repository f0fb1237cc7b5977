// One drive letter of the Linux backend, whatever is behind it.
//
// HostSystem (host_system.h) keeps one HostDrive per drive letter and turns
// the Win32-shaped calls of the parts into calls on it:
//   - the drive list: GetLogicalDriveStringsA and GetDriveTypeA show the
//     letter while IsPresent() is true, with DriveType();
//   - the raw volume: CreateFileA("\\.\E:") calls OpenVolume; DeviceIoControl
//     on that handle calls HostVolume::Control, except
//     IOCTL_STORAGE_GET_DEVICE_NUMBER, which HostSystem answers itself with
//     the device number it gave the drive when it was attached;
//     CloseHandle destroys the HostVolume;
//   - device identity: the registry value "<device number>" under
//     HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum and the device list of
//     the disk-drive class (SetupDi..., CM_...) carry InstanceId(); the
//     property-change request of the class installer calls Restart();
//   - files on the mounted volume: CreateFileA("E:\NAME", CREATE_ALWAYS)
//     calls CreateMountedFile, WriteFile and CloseHandle go to the
//     MountedFile, SetFileAttributesA("E:\NAME") calls SetMountedFileAttributes.
// HostSystem serialises nothing: a drive may be called from the dialog's
// thread and from the worker at the same time and must be thread-safe.
// Errors are Windows error codes (win_types.h, emulated_volumes.h); 0 is
// success. HostSystem sets them as the calling thread's last error.
//
// Plugging in a second kind of drive (a real removable disk, say):
//   1. derive from HostDrive, HostVolume and MountedFile in files of your own
//      under host/ (image_drive.{h,cpp} is the image-file kind);
//   2. hand an instance to HostSystem::AttachDrive(letter, drive); from then
//      on the dialog, the workflow and the worker see it as that letter;
//   3. the lock rules are the drive's: FSCTL_LOCK_VOLUME fails with
//      ERROR_ACCESS_DENIED while another handle of the volume is open, only
//      the locking handle unlocks (kErrorNotLocked otherwise), destroying that
//      handle releases the lock; IOCTL_SCSI_PASS_THROUGH_DIRECT takes and
//      fills SCSI_PASS_THROUGH_DIRECT (device/pass_through_record.h) as Windows does, with the
//      SCSI status in ScsiStatus and sense data at SenseInfoOffset;
//   4. Restart may return before the disk is back: HostSystem asks
//      IsPresent() on every drive-list query, and the worker polls the list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win_types.h"

namespace platform::host {

// One open handle of a raw volume ("\\.\E:"). Destroying it is CloseHandle:
// a lock it holds is released.
class HostVolume {
public:
    virtual ~HostVolume() = default;
    // DeviceIoControl with code (IOCTL_SCSI_PASS_THROUGH_DIRECT,
    // FSCTL_LOCK_VOLUME, FSCTL_UNLOCK_VOLUME; anything else may fail with
    // ERROR_NOT_SUPPORTED). Returns 0 or the error; sets *bytesReturned.
    virtual std::uint32_t Control(std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                                  std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;
};

// A file being written on the mounted volume, created new or truncated.
class MountedFile {
public:
    // Destroying an unclosed file abandons what was written.
    virtual ~MountedFile() = default;
    // Appends the bytes. Returns 0 or the error.
    virtual std::uint32_t Write(const void* data, std::uint32_t size) = 0;
    // Makes the file whole on the volume, in the order files are closed
    // (the install order). Returns 0 or the error; either way the file is
    // closed.
    virtual std::uint32_t Close() = 0;
};

class HostDrive {
public:
    virtual ~HostDrive() = default;

    // DRIVE_REMOVABLE for the drives the dialog may list.
    virtual std::uint32_t DriveType() const { return DRIVE_REMOVABLE; }
    // False while the disk is away (during and just after a restart).
    virtual bool IsPresent() = 0;
    // The disk's device instance ID, in capitals, e.g.
    // "USBSTOR\DISK&VEN_VORN&PROD_IMAGE_FILE&REV_1.0\0001".
    virtual std::string InstanceId() const = 0;

    // The raw volume, opened with GENERIC_READ and/or GENERIC_WRITE. Null
    // with *error set when it cannot be opened (ERROR_ACCESS_DENIED while
    // the volume is locked).
    virtual std::unique_ptr<HostVolume> OpenVolume(std::uint32_t access, std::uint32_t* error) = 0;

    // Takes the disk away and lets it come back so that the file system
    // written to it is mounted afresh. Open volumes and files of the old
    // disk fail from then on (kErrorDeviceNotConnected). Returns 0 when the
    // restart was carried out.
    virtual std::uint32_t Restart() = 0;

    // Files in the root of the mounted volume; name is "IO.SYS" and the like.
    virtual std::unique_ptr<MountedFile> CreateMountedFile(const std::string& name,
                                                           std::uint32_t* error) = 0;
    // Gives the file exactly these attributes (FILE_ATTRIBUTE_READONLY,
    // _HIDDEN, _SYSTEM, 0x20 archive). Returns 0 or the error.
    virtual std::uint32_t SetMountedFileAttributes(const std::string& name,
                                                   std::uint32_t attributes) = 0;
};

}  // namespace platform::host
