// The eight files a VORN disk gets, in the order the completion worker
// installs them, with the resource each comes from, its path on the new
// volume and its DOS attributes. The rows are made from the one payload
// list, res/payload/payload_list.cmake, which the .rc and the embedded
// resource table come from too. The resources are stored under the type
// names "AP", "BOOT" and "DPMI"; the worker passes "Boot" for the DOS system
// files, which the resource lookup matches without regard to case.
#pragma once

#include <array>
#include <cstdint>

#include "platform/win_types.h"

struct PayloadFile {
    const char* name;        // in the root of the new volume
    const char* type;        // the resource type it is stored under
    const char* typeName;    // as passed to the resource lookup
    unsigned id;             // integer resource name
    const char* pathFormat;  // formatted with the drive letter
    // The attributes set once the file is written, in this order; 0 for a
    // step not taken. A file without steps keeps the archive bit it was
    // made with; a step sets exactly its bits, the archive bit goes.
    std::array<std::uint32_t, 2> attributeSteps;
};

inline constexpr auto kPayloadFiles = std::to_array<PayloadFile>({
#include "res/payload_list.inc"
});

// The path format of a payload id; null for an id that is not installed.
const char* PayloadPathFormat(unsigned id);

// The DOS attributes a file of this type name and id ends with, applied in
// the order given (0 for an unused step). The steps go with the exact type
// name the table passes for the id ("Boot", not "BOOT"): any other name
// keeps the file as created.
std::array<std::uint32_t, 2> PayloadAttributeSteps(const char* typeName, unsigned id);
