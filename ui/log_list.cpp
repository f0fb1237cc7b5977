// The log list box.
#include "ui/make_disk_dlg.h"

namespace {
constexpr const char* kLineEnd = "\n";
}

void CMakeDiskDlg::AppendLog(CListBox& list, CString text) {
    text += kLineEnd;
    list.AddString(text);
    list.Invalidate(true);
    UpdateWindow();
}

void CMakeDiskDlg::ClearLog(CListBox& list) {
    list.ResetContent();
    UpdateWindow();
}

LRESULT CMakeDiskDlg::OnLogText(WPARAM, LPARAM lParam) {
    char* text = reinterpret_cast<char*>(lParam);
    AppendLog(m_logList, CString(text));
    delete[] text;
    return 0;
}
