// The second half of a make, on its own thread: restart the disk device,
// wait for its drive letter to return, install the payload files and report
// the total time.
#pragma once

#include "framework/framework.h"

// The thread function; parameter is the CMakeDiskDlg. Always returns 1.
UINT MakeDiskWorker(LPVOID parameter);

// A zero-terminated copy of text allocated with new[]; whoever receives it
// frees it with delete[] (the WM_LOG_TEXT handler).
char* CopyToHeap(CString text);
