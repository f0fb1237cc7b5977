// The program's resources in the model: the embedded payload table
// (embedded_resources.h), as FindResource and friends give them.
#include "winmodel/embedded_resources.h"
#include "winmodel/last_error.h"
#include "winmodel/windows_model.h"

namespace platform {

namespace {
// The program's own module handle.
int programModule = 0;

const EmbeddedResource* AsResource(const void* pointer) { return static_cast<const EmbeddedResource*>(pointer); }
}  // namespace

Module WindowsModel::GetModuleHandleA(const char* moduleName) {
    if (moduleName != nullptr || ResourceCallFails(ResourceCall::GetModuleHandle, 0)) {
        return model::Fail(ERROR_FILE_NOT_FOUND, static_cast<Module>(nullptr));
    }
    return &programModule;
}

ResourceInfo WindowsModel::FindResourceA(Module module, std::uint32_t id, const char* typeName) {
    if (module != &programModule) return model::Fail(ERROR_INVALID_HANDLE, static_cast<ResourceInfo>(nullptr));
    const EmbeddedResource* resource = FindEmbeddedResource(id, typeName);
    if (resource == nullptr || ResourceCallFails(ResourceCall::FindResource, id)) {
        return model::Fail(kErrorResourceTypeNotFound, static_cast<ResourceInfo>(nullptr));
    }
    return const_cast<EmbeddedResource*>(resource);
}

ResourceData WindowsModel::LoadResource(Module module, ResourceInfo info) {
    if (module != &programModule || info == nullptr ||
        ResourceCallFails(ResourceCall::LoadResource, AsResource(info)->id)) {
        return model::Fail(ERROR_INVALID_HANDLE, static_cast<ResourceData>(nullptr));
    }
    return info;
}

std::uint32_t WindowsModel::SizeofResource(Module module, ResourceInfo info) {
    if (module != &programModule || info == nullptr) return model::Fail(ERROR_INVALID_HANDLE, 0u);
    return AsResource(info)->size;
}

const void* WindowsModel::LockResource(ResourceData data) {
    if (data == nullptr || ResourceCallFails(ResourceCall::LockResource, AsResource(data)->id)) return nullptr;
    return AsResource(data)->data;
}

}  // namespace platform
