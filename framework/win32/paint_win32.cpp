#include "framework/win32/windows_include.h"

#include "framework/paint_dc.h"
#include "framework/window.h"

bool CDC::DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon) != 0; }

CPaintDC::CPaintDC(CWnd* window) : m_window(window) {
    static_assert(sizeof(m_paintState) >= sizeof(PAINTSTRUCT));
    m_hDC = ::BeginPaint(window->m_hWnd, reinterpret_cast<PAINTSTRUCT*>(m_paintState));
}

CPaintDC::~CPaintDC() { ::EndPaint(m_window->m_hWnd, reinterpret_cast<PAINTSTRUCT*>(m_paintState)); }

namespace framework {

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

}  // namespace framework
