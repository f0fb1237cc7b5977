#include "framework/file.h"

#include <algorithm>

#include "platform/system_services.h"

namespace {
// The most one system write call is asked to take.
constexpr std::uint32_t kLargestWrite = 1u << 30;
}  // namespace

CFile::~CFile() {
    if (m_handle != nullptr) Close();
}

bool CFile::Open(const char* path, UINT openFlags) {
    if (m_handle != nullptr) Close();
    const std::uint32_t access = (openFlags & modeWrite) != 0 ? GENERIC_WRITE : GENERIC_READ;
    const std::uint32_t disposition = (openFlags & modeCreate) != 0 ? CREATE_ALWAYS : OPEN_EXISTING;
    platform::SystemServices& system = platform::Sys();
    platform::Handle handle = system.CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 disposition, FILE_ATTRIBUTE_NORMAL);
    if (handle == nullptr || handle == kInvalidHandle) return false;
    m_handle = handle;
    return true;
}

bool CFile::Write(const void* data, UINT count) {
    if (m_handle == nullptr) return false;
    platform::SystemServices& system = platform::Sys();
    const auto* next = static_cast<const unsigned char*>(data);
    std::uint32_t left = count;
    while (left > 0) {
        std::uint32_t written = 0;
        const std::uint32_t chunk = std::min(left, kLargestWrite);
        if (!system.WriteFile(m_handle, next, chunk, &written) || written == 0) return false;
        next += written;
        left -= std::min(written, left);
    }
    return true;
}

bool CFile::Close() {
    if (m_handle == nullptr) return true;
    platform::SystemServices& system = platform::Sys();
    const bool closed = system.CloseHandle(m_handle);
    m_handle = nullptr;
    return closed;
}
