// The program's own resources for the backends that have no resource
// section (Linux and the tests): a table generated at build time from the
// same files the Windows program's .rc takes in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

struct EmbeddedResource {
    const char* typeName;  // as stored, e.g. "BOOT"
    std::uint32_t id;      // integer resource name
    std::uint16_t language;
    const std::uint8_t* data;
    std::uint32_t size;
};

// The generated table (defined by the library that embeds the files).
extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

// The resource with this id whose type name equals typeName without regard
// to case; null when there is none.
const EmbeddedResource* FindEmbeddedResource(std::uint32_t id, const char* typeName);

}  // namespace platform
