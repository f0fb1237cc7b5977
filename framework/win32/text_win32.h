// The framework keeps text in UTF-8; the window system takes UTF-16.
#pragma once

#include <string>

std::wstring Utf8ToWide(const char* text);
std::string WideToUtf8(const wchar_t* text, int length = -1);
