// The program's own resources and name.
#include "framework/win32/windows_include.h"

#include <vector>

#include "framework/backend.h"
#include "framework/win32/text_win32.h"

namespace framework::backend {

bool LoadStringResource(UINT id, std::string& text) {
    // With a zero length LoadStringW hands out a pointer to the text itself.
    const wchar_t* resource = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || resource == nullptr) return false;
    text = WideToUtf8(resource, length);
    return true;
}

std::string DefaultApplicationName() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "MakeVORNDisk";
        if (length < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::wstring name(path.data());
    name = name.substr(name.find_last_of(L"\\/") + 1);
    if (const auto dot = name.find_last_of(L'.'); dot != std::wstring::npos && dot > 0) name.resize(dot);
    return WideToUtf8(name.c_str());
}

HICON LoadIconResource(UINT id) { return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id)); }

}  // namespace framework::backend
