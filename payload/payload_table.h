// The eight files a VORN disk gets, in the order the completion worker
// installs them, with the resource each comes from and its path on the new
// volume. The resources are stored under the type names "AP", "BOOT" and
// "DPMI"; the worker passes "Boot" for the DOS system files, which the
// resource lookup matches without regard to case.
#pragma once

#include <array>
#include <cstdint>

struct PayloadFile {
    const char* typeName;    // as passed to the resource lookup
    unsigned id;             // integer resource name
    const char* pathFormat;  // formatted with the drive letter
};

inline constexpr unsigned kCommandComId = 132;

inline constexpr std::array<PayloadFile, 8> kPayloadFiles = {{
    {"Boot", kCommandComId, "%c:\\COMMAND.COM"},
    {"Boot", 130, "%c:\\IO.SYS"},
    {"Boot", 131, "%c:\\MSDOS.SYS"},
    {"AP", 129, "%c:\\VORN.exe"},
    {"DPMI", 137, "%c:\\CWSDPMI.EXE"},
    {"DPMI", 138, "%c:\\CWSDPR0.EXE"},
    {"DPMI", 136, "%c:\\CWSPARAM.EXE"},
    {"AP", 139, "%c:\\ISP.BAT"},
}};

// The path format of a payload id; null for an id that is not installed.
const char* PayloadPathFormat(unsigned id);

// The DOS attributes a file of this type name and id ends with, applied in
// the order given (at most two steps, 0 for an unused step). The rule goes
// by the exact type name: "Boot" gives hidden and system, then for every id
// but COMMAND.COM's also read-only; "DPMI" gives read-only and hidden; any
// other type keeps the file as created.
std::array<std::uint32_t, 2> PayloadAttributeSteps(const char* typeName, unsigned id);
