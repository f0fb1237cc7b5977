#include "payload/payload_table.h"

#include <cstring>

const char* PayloadPathFormat(unsigned id) {
    for (const PayloadFile& file : kPayloadFiles) {
        if (file.id == id) return file.pathFormat;
    }
    return nullptr;
}

std::array<std::uint32_t, 2> PayloadAttributeSteps(const char* typeName, unsigned id) {
    for (const PayloadFile& file : kPayloadFiles) {
        if (file.id == id && std::strcmp(file.typeName, typeName) == 0) return file.attributeSteps;
    }
    return {0u, 0u};
}
