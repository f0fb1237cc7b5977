#include "winmodel/embedded_resources.h"

#include <cctype>

namespace platform {

namespace {
bool SameTypeName(const char* left, const char* right) {
    for (; *left != '\0' && *right != '\0'; ++left, ++right) {
        if (std::toupper(static_cast<unsigned char>(*left)) != std::toupper(static_cast<unsigned char>(*right))) {
            return false;
        }
    }
    return *left == *right;
}
}  // namespace

const EmbeddedResource* FindEmbeddedResource(std::uint32_t id, const char* typeName) {
    if (typeName == nullptr) return nullptr;
    for (std::size_t index = 0; index < kEmbeddedResourceCount; ++index) {
        const EmbeddedResource& resource = kEmbeddedResources[index];
        if (resource.id == id && SameTypeName(resource.typeName, typeName)) return &resource;
    }
    return nullptr;
}

}  // namespace platform
