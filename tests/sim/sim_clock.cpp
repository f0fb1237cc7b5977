// The virtual clock of the simulated PC.
#include <thread>

#include "tests/sim/sim_system.h"

namespace platform {

void SimSystem::AdvanceClock(std::uint32_t milliseconds) {
    std::int64_t target;
    {
        std::lock_guard lock(mutex_);
        target = clockMs_ + milliseconds;
    }
    // Run what falls due, one action at a time and outside the lock, with
    // the clock standing at the action's time while it runs.
    for (;;) {
        std::function<void()> action;
        {
            std::lock_guard lock(mutex_);
            auto next = scheduled_.begin();
            if (next == scheduled_.end() || next->first > target) {
                if (clockMs_ < target) clockMs_ = target;
                break;
            }
            if (clockMs_ < next->first) clockMs_ = next->first;
            action = std::move(next->second);
            scheduled_.erase(next);
        }
        action();
    }
}

void SimSystem::ScheduleAt(std::int32_t clockMilliseconds, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    scheduled_.emplace(clockMilliseconds, std::move(action));
}

void SimSystem::Sleep(std::uint32_t milliseconds) {
    AdvanceClock(milliseconds);
    // Give other threads a turn, as a real sleep would.
    std::this_thread::yield();
}

std::int32_t SimSystem::clock() {
    std::lock_guard lock(mutex_);
    return static_cast<std::int32_t>(clockMs_);
}

}  // namespace platform
