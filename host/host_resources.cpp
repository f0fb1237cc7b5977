// The program's resources on Linux: the embedded payload table, the same
// one the tests' simulated PC uses.
#include "winmodel/embedded_resources.h"
#include "host/host_system.h"

namespace platform {

namespace {
constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
// The program's own module handle.
int programModule = 0;

const EmbeddedResource* AsResource(const void* pointer) { return static_cast<const EmbeddedResource*>(pointer); }

template <typename Result>
Result Fail(std::uint32_t error, Result result) {
    host::SetThreadLastError(error);
    return result;
}
}  // namespace

Module HostSystem::GetModuleHandleA(const char* moduleName) {
    if (moduleName != nullptr) return Fail(ERROR_FILE_NOT_FOUND, static_cast<Module>(nullptr));
    return &programModule;
}

ResourceInfo HostSystem::FindResourceA(Module module, std::uint32_t id, const char* typeName) {
    if (module != &programModule) return Fail(ERROR_INVALID_HANDLE, static_cast<ResourceInfo>(nullptr));
    const EmbeddedResource* resource = FindEmbeddedResource(id, typeName);
    if (resource == nullptr) return Fail(kErrorResourceTypeNotFound, static_cast<ResourceInfo>(nullptr));
    return const_cast<EmbeddedResource*>(resource);
}

ResourceData HostSystem::LoadResource(Module module, ResourceInfo info) {
    if (module != &programModule || info == nullptr) return Fail(ERROR_INVALID_HANDLE, static_cast<ResourceData>(nullptr));
    return info;
}

std::uint32_t HostSystem::SizeofResource(Module module, ResourceInfo info) {
    if (module != &programModule || info == nullptr) return Fail(ERROR_INVALID_HANDLE, 0u);
    return AsResource(info)->size;
}

const void* HostSystem::LockResource(ResourceData data) {
    return data == nullptr ? nullptr : AsResource(data)->data;
}

}  // namespace platform
