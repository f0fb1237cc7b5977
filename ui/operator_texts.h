// Every text the operator reads in the main dialog: its title, the lines it
// starts with, and the message boxes and log lines of a make (the Make
// workflow, the completion worker and the payload installer). They are kept
// letter for letter as the program has always shown them, misspellings
// included ("Devive"): operators and their notes know them by these words.
// The builder's reasons, which follow "Build FAT Fail-" and "Compare FAT
// Fail-", are the builder's own (fatdisk/).
#pragma once

namespace texts {

// The dialog (make_disk_dlg.cpp, device_list.cpp).
inline constexpr const char* kTitleFormat = "Korvane Make VORN Disk Tool V%d.%02d ";
inline constexpr const char* kFirmwareFormat = "Firmware Version: %s";
inline constexpr const char* kNoDeviceText = "Can't detect any Device !";
inline constexpr const char* kInstructionSelect = "1.Select Working Device.";
inline constexpr const char* kInstructionMake = "2.Click Make Button to Build VORN Disk.";
inline constexpr const char* kInquiryFailedText = "Issue Inquiry CMD Fail !!!";
inline constexpr const char* kNoIdentificationText = "Can't get Devive Info.";

// The Make workflow (make_workflow.cpp): the first half of a make.
inline constexpr const char* kConfirmFormat =
    "Current Choose is device %s,If yes,all data will be disappear, Are you sure?";
inline constexpr const char* kNoDeviceSelectedText = "No Device Selected !";
inline constexpr const char* kCapacityCommandFailedText = "Issue GetCapacity CMD Fail !!!";
inline constexpr const char* kCapacityFailedLogText = "Can't get Devive GetCapacity.";
inline constexpr const char* kTotalSectorFormat = "'%s' Total Sector = %u";
// The box has no full stop; the log line has one.
inline constexpr const char* kZeroCapacityText = "Capacity = 0 !!!";
inline constexpr const char* kZeroCapacityLogText = "Capacity = 0 !!!.";
inline constexpr const char* kSectorSizeText = "Sector Size Not Supported !!!";
inline constexpr const char* kBuildFailedFormat = "Build FAT Fail-%s";
inline constexpr const char* kBuildTimeFormat = "Build FAT = %2.1f seconds \r";
inline constexpr const char* kCompareFailedFormat = "Compare FAT Fail-%s";
inline constexpr const char* kCompareTimeFormat = "Compare FAT = %2.1f seconds \r";
inline constexpr const char* kDiskIdFailedText = "Get Disk ID Fail";
inline constexpr const char* kBusyText = "Making VORN Disk, please wait !";

// The completion worker (payload/make_disk_worker.cpp): the second half.
inline constexpr const char* kDeviceLostText = "Can't find Device after Restart !!!";
inline constexpr const char* kNotRemountedText = "Drive not remounted, payload not written !!!";
// A payload file that the root directory does not show as it was written.
inline constexpr const char* kFileCheckFormat = "Compare File Fail-%s";
inline constexpr const char* kDoneFormat = "Done. Total time spent = %2.1f seconds \r";

// The payload installer (payload/payload_install.cpp), one file at a time.
inline constexpr const char* kModuleFailedText = "Get File-GetModuleHandle Failed!!!";
inline constexpr const char* kFindFailedText = "Get File-FindResource Failed!!!";
inline constexpr const char* kLoadFailedText = "Get File-LoadResource Failed!!!";
inline constexpr const char* kLockFailedText = "Get File-LockResource Failed!!!";
inline constexpr const char* kOpenFailedText = "open save File Failed!!!";
inline constexpr const char* kWriteFailedText = "write save File Failed!!!";

}  // namespace texts
