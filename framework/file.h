// Files on a mounted volume, over the system services' file calls.
// Failures are results, never exceptions.
#pragma once

#include <cstdint>

#include "framework/win_defs.h"
#include "platform/win_types.h"

class CFile {
public:
    static constexpr UINT modeWrite = 0x0001;
    static constexpr UINT modeCreate = 0x1000;

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // modeCreate | modeWrite: creates the file, truncating one of that
    // name, for writing only. False when it cannot be opened.
    bool Open(const char* path, UINT openFlags);
    // Writes all count bytes; false when the system wrote fewer.
    bool Write(const void* data, UINT count);
    // False when the handle could not be closed; the file is closed anyway.
    bool Close();

private:
    platform::Handle m_handle = nullptr;
};
