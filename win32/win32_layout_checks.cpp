// The structures of win_types.h and the pass-through record stand in for
// the Windows ones and are handed to the API as they are; their layouts
// must be those of the SDK headers.
// clang-format off
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <setupapi.h>
// clang-format on

#include <cstddef>

#include "device/pass_through_record.h"
#include "platform/win_types.h"

#define VORN_SAME_MEMBER(ours, theirs, member)                                       \
    static_assert(offsetof(ours, member) == offsetof(theirs, member), #member);       \
    static_assert(sizeof(ours::member) == sizeof(theirs::member), #member)

using OurSptd = platform::SCSI_PASS_THROUGH_DIRECT;
static_assert(sizeof(OurSptd) == sizeof(::SCSI_PASS_THROUGH_DIRECT));
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, Length);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, ScsiStatus);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, PathId);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, TargetId);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, Lun);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, CdbLength);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, SenseInfoLength);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, DataIn);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, DataTransferLength);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, TimeOutValue);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, DataBuffer);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset);
VORN_SAME_MEMBER(OurSptd, ::SCSI_PASS_THROUGH_DIRECT, Cdb);

// The record: the structure, the filler, then the sense area.
static_assert(offsetof(PassThroughRecord, sense) ==
              sizeof(::SCSI_PASS_THROUGH_DIRECT) + sizeof(PassThroughRecord::filler));
// (64-bit: the record's 8-byte alignment adds 4 bytes of tail padding.)
static_assert(sizeof(PassThroughRecord) >= kSenseInfoOffset + sizeof(PassThroughRecord::sense));
static_assert(kPassThroughStructSize == sizeof(::SCSI_PASS_THROUGH_DIRECT));

VORN_SAME_MEMBER(platform::STORAGE_DEVICE_NUMBER, ::STORAGE_DEVICE_NUMBER, DeviceNumber);
static_assert(sizeof(platform::STORAGE_DEVICE_NUMBER) == sizeof(::STORAGE_DEVICE_NUMBER));
static_assert(sizeof(platform::GUID) == sizeof(::GUID));
static_assert(sizeof(platform::SP_DEVINFO_DATA) == sizeof(::SP_DEVINFO_DATA));
VORN_SAME_MEMBER(platform::SP_DEVINFO_DATA, ::SP_DEVINFO_DATA, DevInst);
static_assert(sizeof(platform::SP_CLASSINSTALL_HEADER) == sizeof(::SP_CLASSINSTALL_HEADER));
static_assert(sizeof(platform::SP_PROPCHANGE_PARAMS) == sizeof(::SP_PROPCHANGE_PARAMS));
static_assert(sizeof(platform::SP_DEVINSTALL_PARAMS_A) == sizeof(::SP_DEVINSTALL_PARAMS_A));
VORN_SAME_MEMBER(platform::SP_DEVINSTALL_PARAMS_A, ::SP_DEVINSTALL_PARAMS_A, Flags);
VORN_SAME_MEMBER(platform::SP_DEVINSTALL_PARAMS_A, ::SP_DEVINSTALL_PARAMS_A, DriverPath);
static_assert(sizeof(platform::SP_DEVICE_INTERFACE_DATA) == sizeof(::SP_DEVICE_INTERFACE_DATA));
VORN_SAME_MEMBER(platform::SP_DEVICE_INTERFACE_DATA, ::SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid);
// cbSize of the detail data is the structure's own size, which differs
// between 32-bit and 64-bit.
static_assert(sizeof(platform::SP_DEVICE_INTERFACE_DETAIL_DATA_A) == sizeof(::SP_DEVICE_INTERFACE_DETAIL_DATA_A));
VORN_SAME_MEMBER(platform::SP_DEVICE_INTERFACE_DETAIL_DATA_A, ::SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
static_assert(sizeof(platform::WIN32_FIND_DATAA) == sizeof(::WIN32_FIND_DATAA));
VORN_SAME_MEMBER(platform::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, dwFileAttributes);
VORN_SAME_MEMBER(platform::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, nFileSizeHigh);
VORN_SAME_MEMBER(platform::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, nFileSizeLow);
VORN_SAME_MEMBER(platform::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, cFileName);

// The control codes the channel and the worker send.
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x4D014);
static_assert(FSCTL_LOCK_VOLUME == 0x90018);
static_assert(FSCTL_UNLOCK_VOLUME == 0x9001C);
static_assert(IOCTL_STORAGE_GET_DEVICE_NUMBER == 0x2D1080);
static_assert(FSCTL_DISMOUNT_VOLUME == 0x90020);
static_assert(IOCTL_DISK_UPDATE_PROPERTIES == 0x70140);
static_assert(DI_NEEDRESTART == 0x80 && DI_NEEDREBOOT == 0x100);
static_assert(DIGCF_DEVICEINTERFACE == 0x10);
static_assert(ERROR_IN_WOW64 == 0xE0000235);
