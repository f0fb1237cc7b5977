#include "framework/thread.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

std::mutex runningMutex;
std::condition_variable runningChanged;
int runningThreads = 0;

void ThreadEnded() {
    std::lock_guard lock(runningMutex);
    --runningThreads;
    runningChanged.notify_all();
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC function, LPVOID parameter, int, UINT, std::uint32_t, void*) {
    if (function == nullptr) return nullptr;
    auto record = std::make_unique<CWinThread>();
    record->m_pfnThreadProc = function;
    record->m_pThreadParams = parameter;
    CWinThread* started = record.get();
    {
        std::lock_guard lock(runningMutex);
        ++runningThreads;
    }
    try {
        std::thread([owned = std::move(record)]() mutable {
            owned->m_pfnThreadProc(owned->m_pThreadParams);
            owned.reset();
            ThreadEnded();
        }).detach();
    } catch (const std::system_error&) {
        ThreadEnded();
        return nullptr;
    }
    return started;
}

namespace framework {

bool WaitForWorkerThreads(std::chrono::milliseconds timeout) {
    std::unique_lock lock(runningMutex);
    return runningChanged.wait_for(lock, timeout, [] { return runningThreads == 0; });
}

}  // namespace framework
