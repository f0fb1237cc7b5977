// The framework's string: an owned, NUL-terminated run of bytes (UTF-8 for
// anything beyond ASCII) with printf-style formatting and string-resource
// loading. Backends convert to the window system's encoding at the edge.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

#include "framework/win_defs.h"

#if defined(__MINGW32__)
#define VORN_PRINTF_FORMAT(formatIndex, firstArg) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, formatIndex, firstArg)))
#else
#define VORN_PRINTF_FORMAT(formatIndex, firstArg) \
    __attribute__((format(printf, formatIndex, firstArg)))
#endif

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text != nullptr ? text : "") {}  // NOLINT: implicit by design
    CString(const char* text, int length) : m_text(text, static_cast<std::size_t>(length)) {}
    explicit CString(std::string text) : m_text(std::move(text)) {}

    CString& operator=(const char* text) {
        m_text = text != nullptr ? text : "";
        return *this;
    }
    CString& operator+=(const char* text) {
        m_text += text != nullptr ? text : "";
        return *this;
    }
    CString& operator+=(char character) {
        m_text += character;
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    // The character at index; NUL at or past the end.
    char GetAt(int index) const {
        return index >= 0 && index < GetLength() ? m_text[static_cast<std::size_t>(index)] : '\0';
    }
    char operator[](int index) const { return GetAt(index); }
    operator const char*() const { return m_text.c_str(); }  // NOLINT: implicit by design
    const std::string& Text() const { return m_text; }

    // Exact, case-sensitive byte comparison: <0, 0 or >0.
    int Compare(const char* other) const { return m_text.compare(other != nullptr ? other : ""); }

    // Replaces the contents with the formatted text.
    void Format(const char* format, ...) VORN_PRINTF_FORMAT(2, 3);

    // Replaces the contents with string resource id; false (contents empty)
    // when the program has no such string.
    bool LoadString(UINT id);

private:
    std::string m_text;
};

inline bool operator==(const CString& left, const CString& right) { return left.Text() == right.Text(); }
inline bool operator==(const CString& left, const char* right) { return left.Compare(right) == 0; }
