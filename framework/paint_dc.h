// Drawing: the paint context of a WM_PAINT handler and the system metrics
// the program asks for.
#pragma once

#include "framework/win_defs.h"

class CWnd;

class CDC {
public:
    HDC GetSafeHdc() const { return m_hDC; }
    bool DrawIcon(int x, int y, HICON icon);

    HDC m_hDC = nullptr;
};

// Opens painting of the window's invalid area for its lifetime.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

private:
    CWnd* m_window;
    // win32: the PAINTSTRUCT of BeginPaint and EndPaint.
    alignas(void*) unsigned char m_paintState[96] = {};
};

namespace framework {
// SM_CXICON, SM_CYICON: the size of a big icon in pixels.
int GetSystemMetrics(int index);
}  // namespace framework
