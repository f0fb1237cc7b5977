// What the Wine tests' drivers print: one "KEY value" line per fact on
// stdout ("KEY" alone for an empty value), flushed at once, with line ends
// inside a value shown as \r and \n;
// and the window texts they read, as UTF-8.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace wine_test {

// The drivers' timer tick, the limit of a whole run, and the wait for one
// screenshot.
inline constexpr UINT kTickMilliseconds = 100;
inline constexpr DWORD kRunLimitMilliseconds = 90000;
inline constexpr DWORD kShotLimitMilliseconds = 20000;

std::string Utf8(const std::wstring& text);
std::string Visible(const std::string& text);
void Report(const std::string& key, const std::string& value);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);
// The texts of a list box's or combo box's items, by its count, length and
// text messages (LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT or the CB_ ones).
std::vector<std::string> Items(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage);
// "x y width height" of a window on the screen, and "x y" of its centre.
std::string ScreenRect(HWND window);
std::string ScreenCentre(HWND window);

}  // namespace wine_test
