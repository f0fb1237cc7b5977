#include "payload/payload_table.h"

#include <cstring>

#include "platform/win_types.h"

namespace {
constexpr std::uint32_t kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr std::uint32_t kReadOnlyHiddenSystem = FILE_ATTRIBUTE_READONLY | kHiddenSystem;
constexpr std::uint32_t kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
}  // namespace

const char* PayloadPathFormat(unsigned id) {
    for (const PayloadFile& file : kPayloadFiles) {
        if (file.id == id) return file.pathFormat;
    }
    return nullptr;
}

std::array<std::uint32_t, 2> PayloadAttributeSteps(const char* typeName, unsigned id) {
    if (std::strcmp(typeName, "Boot") == 0) {
        return {kHiddenSystem, id == kCommandComId ? 0u : kReadOnlyHiddenSystem};
    }
    if (std::strcmp(typeName, "DPMI") == 0) return {kReadOnlyHidden, 0u};
    return {0u, 0u};
}
