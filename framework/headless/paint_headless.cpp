// Painting on in-memory windows: drawn icons are recorded on the window.
#include "framework/headless/window_system.h"
#include "framework/paint_dc.h"

namespace {
// The size of a big icon.
constexpr int kIconSize = 32;
}  // namespace

bool CDC::DrawIcon(int x, int y, HICON icon) {
    std::lock_guard lock(headless::detail::WindowsMutex());
    headless::detail::Window* window =
        headless::detail::FindWindowRecord(headless::detail::WindowOfDeviceContext(m_hDC));
    if (window == nullptr || icon == nullptr) return false;
    window->drawnIcons.push_back({x, y, icon});
    return true;
}

CPaintDC::CPaintDC(CWnd* window) : m_window(window) {
    m_hDC = headless::detail::DeviceContextOf(window->m_hWnd);
}

CPaintDC::~CPaintDC() = default;

namespace framework {

int GetSystemMetrics(int index) { return index == SM_CXICON || index == SM_CYICON ? kIconSize : 0; }

}  // namespace framework
