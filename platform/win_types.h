// Windows types, structures and constants that the dialog, the builder, the
// channel and the worker use, under their published names, without
// <windows.h>.
//
// Structures live in namespace platform so that they never clash with the
// real ones where a win32 backend file includes <windows.h>; their layouts
// follow the Windows ABI of the target (32-bit or 64-bit pointers).
// Constants live at global scope and are skipped where <windows.h> already
// defined them as macros (same values), so either include order works.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using Handle = void*;      // HANDLE
using RegKey = void*;      // HKEY
using DevInfoSet = void*;  // HDEVINFO
using DEVINST = std::uint32_t;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

// IOCTL_STORAGE_GET_DEVICE_NUMBER output: only DeviceNumber is used.
struct STORAGE_DEVICE_NUMBER {
    std::uint32_t DeviceType;
    std::uint32_t DeviceNumber;
    std::uint32_t PartitionNumber;
};
static_assert(sizeof(STORAGE_DEVICE_NUMBER) == 12);

struct SP_DEVINFO_DATA {
    std::uint32_t cbSize;  // 28 on 32-bit Windows, 32 on 64-bit
    GUID ClassGuid;
    DEVINST DevInst;
    std::uintptr_t Reserved;
};

struct SP_CLASSINSTALL_HEADER {
    std::uint32_t cbSize;  // 8
    std::uint32_t InstallFunction;
};

struct SP_PROPCHANGE_PARAMS {
    SP_CLASSINSTALL_HEADER ClassInstallHeader;
    std::uint32_t StateChange;
    std::uint32_t Scope;
    std::uint32_t HwProfile;
};
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20);

// SetupAPI packs its structures to 1 byte on 32-bit Windows (8 on 64-bit);
// the detail data's cbSize is where that shows (5 on 32-bit, 8 on 64-bit).
#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(push, 1)
#endif

// SetupDiGetDeviceInstallParamsA: only Flags is used.
struct SP_DEVINSTALL_PARAMS_A {
    std::uint32_t cbSize;
    std::uint32_t Flags;
    std::uint32_t FlagsEx;
    void* hwndParent;
    void* InstallMsgHandler;
    void* InstallMsgHandlerContext;
    void* FileQueue;
    std::uintptr_t ClassInstallReserved;
    std::uint32_t Reserved;
    char DriverPath[260];
};

// One device interface of a device information set.
struct SP_DEVICE_INTERFACE_DATA {
    std::uint32_t cbSize;
    GUID InterfaceClassGuid;
    std::uint32_t Flags;
    std::uintptr_t Reserved;
};

// The path of a device interface; DevicePath runs on past the structure
// for as many bytes as SetupDiGetDeviceInterfaceDetailA says it needs.
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    std::uint32_t cbSize;  // sizeof this structure, not of the whole buffer
    char DevicePath[1];
};

#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(pop)
#endif

struct FILETIME {
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

// FindFirstFileA and FindNextFileA: one directory entry.
struct WIN32_FIND_DATAA {
    std::uint32_t dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    std::uint32_t nFileSizeHigh;
    std::uint32_t nFileSizeLow;
    std::uint32_t dwReserved0;
    std::uint32_t dwReserved1;
    char cFileName[260];
    char cAlternateFileName[14];
};

}  // namespace platform

// The disk-drive setup class {4D36E967-E325-11CE-BFC1-08002BE10318}.
inline constexpr platform::GUID kGuidDevClassDiskDrive = {
    0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// The disk interface class {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}: one
// interface per disk, whose path opens the disk.
inline constexpr platform::GUID kGuidDevInterfaceDisk = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

#define VORN_WIN_CONSTANT(name, value) inline constexpr std::uint32_t name = value;

// CreateFileA
#ifndef GENERIC_READ
VORN_WIN_CONSTANT(GENERIC_READ, 0x80000000u)
#endif
#ifndef GENERIC_WRITE
VORN_WIN_CONSTANT(GENERIC_WRITE, 0x40000000u)
#endif
#ifndef FILE_SHARE_READ
VORN_WIN_CONSTANT(FILE_SHARE_READ, 0x1u)
#endif
#ifndef FILE_SHARE_WRITE
VORN_WIN_CONSTANT(FILE_SHARE_WRITE, 0x2u)
#endif
#ifndef CREATE_ALWAYS
VORN_WIN_CONSTANT(CREATE_ALWAYS, 2u)
#endif
#ifndef OPEN_EXISTING
VORN_WIN_CONSTANT(OPEN_EXISTING, 3u)
#endif
#ifndef FILE_ATTRIBUTE_NORMAL
VORN_WIN_CONSTANT(FILE_ATTRIBUTE_NORMAL, 0x80u)
#endif
// File attribute bits set on payload files.
#ifndef FILE_ATTRIBUTE_READONLY
VORN_WIN_CONSTANT(FILE_ATTRIBUTE_READONLY, 0x1u)
#endif
#ifndef FILE_ATTRIBUTE_HIDDEN
VORN_WIN_CONSTANT(FILE_ATTRIBUTE_HIDDEN, 0x2u)
#endif
#ifndef FILE_ATTRIBUTE_SYSTEM
VORN_WIN_CONSTANT(FILE_ATTRIBUTE_SYSTEM, 0x4u)
#endif
#ifndef FILE_ATTRIBUTE_DIRECTORY
VORN_WIN_CONSTANT(FILE_ATTRIBUTE_DIRECTORY, 0x10u)
#endif
#ifndef FILE_ATTRIBUTE_ARCHIVE
VORN_WIN_CONSTANT(FILE_ATTRIBUTE_ARCHIVE, 0x20u)
#endif

// Control codes sent through DeviceIoControl.
#ifndef IOCTL_SCSI_PASS_THROUGH_DIRECT
VORN_WIN_CONSTANT(IOCTL_SCSI_PASS_THROUGH_DIRECT, 0x4D014u)
#endif
#ifndef FSCTL_LOCK_VOLUME
VORN_WIN_CONSTANT(FSCTL_LOCK_VOLUME, 0x90018u)
#endif
#ifndef FSCTL_UNLOCK_VOLUME
VORN_WIN_CONSTANT(FSCTL_UNLOCK_VOLUME, 0x9001Cu)
#endif
#ifndef IOCTL_STORAGE_GET_DEVICE_NUMBER
VORN_WIN_CONSTANT(IOCTL_STORAGE_GET_DEVICE_NUMBER, 0x2D1080u)
#endif
#ifndef FSCTL_DISMOUNT_VOLUME
VORN_WIN_CONSTANT(FSCTL_DISMOUNT_VOLUME, 0x90020u)
#endif
// On a physical disk: read the partition table again.
#ifndef IOCTL_DISK_UPDATE_PROPERTIES
VORN_WIN_CONSTANT(IOCTL_DISK_UPDATE_PROPERTIES, 0x70140u)
#endif
// STORAGE_DEVICE_NUMBER.DeviceType of a disk.
#ifndef FILE_DEVICE_DISK
VORN_WIN_CONSTANT(FILE_DEVICE_DISK, 0x7u)
#endif

// SCSI_PASS_THROUGH_DIRECT.DataIn
#ifndef SCSI_IOCTL_DATA_OUT
VORN_WIN_CONSTANT(SCSI_IOCTL_DATA_OUT, 0u)
#endif
#ifndef SCSI_IOCTL_DATA_IN
VORN_WIN_CONSTANT(SCSI_IOCTL_DATA_IN, 1u)
#endif
#ifndef SCSI_IOCTL_DATA_UNSPECIFIED
VORN_WIN_CONSTANT(SCSI_IOCTL_DATA_UNSPECIFIED, 2u)
#endif

// GetDriveTypeA
#ifndef DRIVE_UNKNOWN
VORN_WIN_CONSTANT(DRIVE_UNKNOWN, 0u)
#endif
#ifndef DRIVE_NO_ROOT_DIR
VORN_WIN_CONSTANT(DRIVE_NO_ROOT_DIR, 1u)
#endif
#ifndef DRIVE_REMOVABLE
VORN_WIN_CONSTANT(DRIVE_REMOVABLE, 2u)
#endif
#ifndef DRIVE_FIXED
VORN_WIN_CONSTANT(DRIVE_FIXED, 3u)
#endif

// Registry
#ifndef KEY_READ
VORN_WIN_CONSTANT(KEY_READ, 0x20019u)
#endif
#ifndef ERROR_SUCCESS
VORN_WIN_CONSTANT(ERROR_SUCCESS, 0u)
#endif

// SetupAPI and configuration manager
#ifndef DIGCF_PRESENT
VORN_WIN_CONSTANT(DIGCF_PRESENT, 0x2u)
#endif
#ifndef DIGCF_DEVICEINTERFACE
VORN_WIN_CONSTANT(DIGCF_DEVICEINTERFACE, 0x10u)
#endif
// SP_DEVINSTALL_PARAMS.Flags: the change takes effect only after a restart
// of the device or the system.
#ifndef DI_NEEDRESTART
VORN_WIN_CONSTANT(DI_NEEDRESTART, 0x80u)
#endif
#ifndef DI_NEEDREBOOT
VORN_WIN_CONSTANT(DI_NEEDREBOOT, 0x100u)
#endif
#ifndef DIF_PROPERTYCHANGE
VORN_WIN_CONSTANT(DIF_PROPERTYCHANGE, 0x12u)
#endif
#ifndef DICS_PROPCHANGE
VORN_WIN_CONSTANT(DICS_PROPCHANGE, 3u)
#endif
#ifndef DICS_FLAG_CONFIGSPECIFIC
VORN_WIN_CONSTANT(DICS_FLAG_CONFIGSPECIFIC, 2u)
#endif
#ifndef CR_SUCCESS
VORN_WIN_CONSTANT(CR_SUCCESS, 0u)
#endif

// Error codes the backends report through GetLastError.
#ifndef ERROR_FILE_NOT_FOUND
VORN_WIN_CONSTANT(ERROR_FILE_NOT_FOUND, 2u)
#endif
#ifndef ERROR_ACCESS_DENIED
VORN_WIN_CONSTANT(ERROR_ACCESS_DENIED, 5u)
#endif
#ifndef ERROR_INVALID_HANDLE
VORN_WIN_CONSTANT(ERROR_INVALID_HANDLE, 6u)
#endif
#ifndef ERROR_NOT_ENOUGH_MEMORY
VORN_WIN_CONSTANT(ERROR_NOT_ENOUGH_MEMORY, 8u)
#endif
#ifndef ERROR_WRITE_FAULT
VORN_WIN_CONSTANT(ERROR_WRITE_FAULT, 29u)
#endif
#ifndef ERROR_READ_FAULT
VORN_WIN_CONSTANT(ERROR_READ_FAULT, 30u)
#endif
#ifndef ERROR_NO_MORE_FILES
VORN_WIN_CONSTANT(ERROR_NO_MORE_FILES, 18u)
#endif
#ifndef ERROR_NOT_READY
VORN_WIN_CONSTANT(ERROR_NOT_READY, 21u)
#endif
#ifndef ERROR_NOT_SUPPORTED
VORN_WIN_CONSTANT(ERROR_NOT_SUPPORTED, 50u)
#endif
#ifndef ERROR_INVALID_PARAMETER
VORN_WIN_CONSTANT(ERROR_INVALID_PARAMETER, 87u)
#endif
#ifndef ERROR_SEM_TIMEOUT
VORN_WIN_CONSTANT(ERROR_SEM_TIMEOUT, 121u)
#endif
#ifndef ERROR_CALL_NOT_IMPLEMENTED
VORN_WIN_CONSTANT(ERROR_CALL_NOT_IMPLEMENTED, 120u)
#endif
#ifndef ERROR_INSUFFICIENT_BUFFER
VORN_WIN_CONSTANT(ERROR_INSUFFICIENT_BUFFER, 122u)
#endif
#ifndef ERROR_MORE_DATA
VORN_WIN_CONSTANT(ERROR_MORE_DATA, 234u)
#endif
#ifndef ERROR_NO_MORE_ITEMS
VORN_WIN_CONSTANT(ERROR_NO_MORE_ITEMS, 259u)
#endif
#ifndef ERROR_IO_DEVICE
VORN_WIN_CONSTANT(ERROR_IO_DEVICE, 1117u)
#endif
// SetupAPI: a 32-bit program on 64-bit Windows asked for a device change.
#ifndef ERROR_IN_WOW64
VORN_WIN_CONSTANT(ERROR_IN_WOW64, 0xE0000235u)
#endif

#undef VORN_WIN_CONSTANT

// Handle and key values that are pointers on Windows.
inline platform::Handle const kInvalidHandle =
    reinterpret_cast<platform::Handle>(static_cast<std::intptr_t>(-1));
// GetCurrentProcess's pseudo handle (the same value as kInvalidHandle).
inline platform::Handle const kCurrentProcess =
    reinterpret_cast<platform::Handle>(static_cast<std::intptr_t>(-1));
inline platform::RegKey const kHkeyLocalMachine =
    reinterpret_cast<platform::RegKey>(static_cast<std::uintptr_t>(0x80000002u));
