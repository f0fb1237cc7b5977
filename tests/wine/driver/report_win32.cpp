#include "tests/wine/driver/report_win32.h"

#include <cstdio>

namespace wine_test {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

std::string Visible(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void Report(const std::string& key, const std::string& value) {
    if (value.empty()) {
        std::printf("%s\n", key.c_str());
    } else {
        std::printf("%s %s\n", key.c_str(), Visible(value).c_str());
    }
    std::fflush(stdout);
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied));
    return Utf8(text);
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8(name);
}

std::vector<std::string> Items(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage) {
    std::vector<std::string> items;
    const auto count = static_cast<int>(SendMessageW(control, countMessage, 0, 0));
    for (int index = 0; index < count; ++index) {
        const auto length = static_cast<int>(SendMessageW(control, lengthMessage, index, 0));
        std::wstring text(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
        SendMessageW(control, textMessage, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length < 0 ? 0 : length));
        items.push_back(Utf8(text));
    }
    return items;
}

std::string ScreenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right - rect.left) +
           " " + std::to_string(rect.bottom - rect.top);
}

std::string ScreenCentre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return std::to_string((rect.left + rect.right) / 2) + " " + std::to_string((rect.top + rect.bottom) / 2);
}

}  // namespace wine_test
