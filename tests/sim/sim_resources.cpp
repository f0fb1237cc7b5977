// The program's resources on the simulated PC: the embedded payload table,
// with injectable failures.
#include "winmodel/embedded_resources.h"
#include "tests/sim/sim_last_error.h"
#include "tests/sim/sim_system.h"

namespace platform {

namespace {
constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
// The module handle the simulated program has.
int simulatedModule = 0;

const EmbeddedResource* AsResource(const void* pointer) { return static_cast<const EmbeddedResource*>(pointer); }
}  // namespace

void SimSystem::FailResourceCall(ResourceCall call, std::uint32_t id) {
    std::lock_guard lock(servicesMutex_);
    resourceFaults_.push_back(ResourceFault{call, id});
}

bool SimSystem::ResourceCallFails(ResourceCall call, std::uint32_t id) const {
    std::lock_guard lock(servicesMutex_);
    for (const ResourceFault& fault : resourceFaults_) {
        if (fault.call == call && (fault.id == 0 || fault.id == id)) return true;
    }
    return false;
}

Module SimSystem::GetModuleHandleA(const char* moduleName) {
    if (moduleName != nullptr || ResourceCallFails(ResourceCall::GetModuleHandle, 0)) {
        return sim::Fail(ERROR_FILE_NOT_FOUND, static_cast<Module>(nullptr));
    }
    return &simulatedModule;
}

ResourceInfo SimSystem::FindResourceA(Module module, std::uint32_t id, const char* typeName) {
    if (module != &simulatedModule) return sim::Fail(ERROR_INVALID_HANDLE, static_cast<ResourceInfo>(nullptr));
    const EmbeddedResource* resource = FindEmbeddedResource(id, typeName);
    if (resource == nullptr || ResourceCallFails(ResourceCall::FindResource, id)) {
        return sim::Fail(kErrorResourceTypeNotFound, static_cast<ResourceInfo>(nullptr));
    }
    return const_cast<EmbeddedResource*>(resource);
}

ResourceData SimSystem::LoadResource(Module module, ResourceInfo info) {
    if (module != &simulatedModule || info == nullptr || ResourceCallFails(ResourceCall::LoadResource, AsResource(info)->id)) {
        return sim::Fail(ERROR_INVALID_HANDLE, static_cast<ResourceData>(nullptr));
    }
    return info;
}

std::uint32_t SimSystem::SizeofResource(Module module, ResourceInfo info) {
    if (module != &simulatedModule || info == nullptr) return sim::Fail(ERROR_INVALID_HANDLE, 0u);
    return AsResource(info)->size;
}

const void* SimSystem::LockResource(ResourceData data) {
    if (data == nullptr || ResourceCallFails(ResourceCall::LockResource, AsResource(data)->id)) return nullptr;
    return AsResource(data)->data;
}

}  // namespace platform
