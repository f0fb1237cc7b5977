// The channel over the real system services, command by command, against
// the stick behind E:. Prints one "PROBE <command> status <s> ..." line per
// command: the channel's status (0 GOOD, -2 CHECK CONDITION, a positive
// Windows error code when the call failed) and, for a status other than
// GOOD, the sense key, ASC and ASCQ found in the record's sense area. Then
// the volume information Wine gives for E:\ ("VOLUME label=[..] serial=..").
#pragma once

#include <string>

// Returns 0 once every command has been sent (whatever the statuses).
int RunChannelProbe();

// "VOLUME label=[LABEL] serial=0xXXXXXXXX fs=[NAME]" for E:\, or
// "VOLUME error N" when Windows gives none.
std::string VolumeInformationLine();
