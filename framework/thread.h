// Worker threads. A started thread runs on its own; nothing joins it.
#pragma once

#include <chrono>
#include <cstdint>

#include "framework/win_defs.h"

using AFX_THREADPROC = UINT (*)(LPVOID parameter);

// The record of a started thread; it belongs to the framework and is
// deleted when the thread ends.
class CWinThread {
public:
    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;
};

// Starts function(parameter) on a new thread. The priority, stack size,
// creation flags and security attributes of the classic interface are
// accepted; threads always start at once with the normal priority and the
// default stack. Returns null when no thread could be started.
CWinThread* AfxBeginThread(AFX_THREADPROC function, LPVOID parameter,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           std::uint32_t createFlags = 0, void* securityAttributes = nullptr);

namespace framework {
// Waits until every thread started by AfxBeginThread has returned; false on
// time-out. For tests and for an orderly end of the command line.
bool WaitForWorkerThreads(std::chrono::milliseconds timeout);
}  // namespace framework
