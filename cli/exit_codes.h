// The exit codes of makevorndisk, one per phase that can fail (the usage
// text lists them for the operator).
#pragma once

namespace cli {

inline constexpr int kExitMade = 0;            // the make completed, all eight files written
inline constexpr int kExitProgramFailed = 1;   // the dialog did not run to its end
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitTargetUnusable = 3;  // image not created or opened, disk not usable, no list
inline constexpr int kExitDeclined = 4;        // the confirmation was answered No
inline constexpr int kExitCapacity = 5;        // READ CAPACITY failed or gave an unusable capacity
inline constexpr int kExitBuild = 6;           // writing the file system failed
inline constexpr int kExitReadBack = 7;        // reading it back failed
inline constexpr int kExitDeviceIdentity = 8;  // the disk's device instance ID was not found
inline constexpr int kExitDriveLost = 9;       // the drive did not come back after the restart
inline constexpr int kExitPayload = 10;        // not all eight payload files were written whole
inline constexpr int kExitNotRemounted = 11;   // the drive came back without the new volume: no file written
// Interrupted: this plus the signal's number, as a shell reports a program
// the signal ended (130 SIGINT, 129 SIGHUP, 141 SIGPIPE, 143 SIGTERM).
inline constexpr int kExitInterruptedBase = 128;

}  // namespace cli
