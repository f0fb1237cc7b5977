#include "framework/headless/window_system.h"

#include <atomic>
#include <cstdint>
#include <map>

#include "framework/resource_data.h"

namespace headless::detail {
namespace {

// Handles are multiples of four; a window's menu and paint context are the
// next two values, so each maps back to its window.
constexpr std::uintptr_t kFirstHandle = 0x10000;
constexpr std::uintptr_t kHandleStep = 4;
constexpr std::uintptr_t kMenuOffset = 1;
constexpr std::uintptr_t kDeviceContextOffset = 2;

// Dialog units to pixels with the base units of a 9-point dialog font
// (6 by 13 pixels per 4 by 8 dialog units).
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
int DialogUnitsToPixelsX(int units) { return units * kBaseUnitX / 4; }
int DialogUnitsToPixelsY(int units) { return units * kBaseUnitY / 8; }

// Posted to wake a loop whose dialog ended from another thread.
constexpr UINT kWakeMessage = 0;

const char* const kDialogClass = "#32770";

std::mutex windowsMutex;
std::map<HWND, Window> windows;
std::uintptr_t nextHandle = kFirstHandle;

std::atomic<Operator*> currentOperator{nullptr};

thread_local std::shared_ptr<MessageQueue> threadQueue;

HWND NewHandle() {
    HWND handle = reinterpret_cast<HWND>(nextHandle);
    nextHandle += kHandleStep;
    return handle;
}

std::vector<MenuItem> DefaultSystemMenu() {
    return {{MF_STRING, SC_MOVE, "Move"}, {MF_SEPARATOR, 0, ""}, {MF_STRING, SC_CLOSE, "Close"}};
}

void Deliver(const QueuedMessage& queued) {
    if (queued.message == kWakeMessage && !queued.reply) return;
    CWnd* target = nullptr;
    {
        std::lock_guard lock(windowsMutex);
        if (Window* window = FindWindowRecord(queued.window)) target = window->target;
    }
    const LRESULT result =
        target != nullptr ? target->RouteMessage(queued.message, queued.wParam, queued.lParam) : 0;
    if (queued.reply) queued.reply->set_value(result);
}

bool DialogEnded(HWND dialog) {
    std::lock_guard lock(windowsMutex);
    Window* window = FindWindowRecord(dialog);
    return window == nullptr || window->modalEnded;
}

}  // namespace

std::mutex& WindowsMutex() { return windowsMutex; }

Window* FindWindowRecord(HWND window) {
    auto found = windows.find(window);
    return found != windows.end() ? &found->second : nullptr;
}

HWND CreateDialogWindow(const DialogTemplate& tmpl, HWND parent, CWnd* target) {
    std::shared_ptr<MessageQueue> queue = CurrentThreadQueue();
    std::lock_guard lock(windowsMutex);
    const HWND dialogHandle = NewHandle();
    Window& dialog = windows[dialogHandle];
    dialog.handle = dialogHandle;
    dialog.parent = parent;
    dialog.windowClass = kDialogClass;
    dialog.text = tmpl.caption;
    dialog.style = tmpl.style;
    dialog.exStyle = tmpl.exStyle;
    dialog.templateId = tmpl.id;
    dialog.target = target;
    dialog.queue = queue;
    dialog.clientWidth = DialogUnitsToPixelsX(tmpl.width);
    dialog.clientHeight = DialogUnitsToPixelsY(tmpl.height);
    if ((tmpl.style & WS_SYSMENU) != 0) dialog.systemMenu = DefaultSystemMenu();

    std::vector<HWND> children;
    for (const ControlTemplate& control : tmpl.controls) {
        const HWND childHandle = NewHandle();
        Window& child = windows[childHandle];
        child.handle = childHandle;
        child.parent = dialogHandle;
        child.id = control.id;
        child.windowClass = control.windowClass;
        child.text = control.text;
        child.iconId = control.iconId;
        child.style = control.style;
        child.exStyle = control.exStyle;
        child.queue = queue;
        child.clientWidth = DialogUnitsToPixelsX(control.width);
        child.clientHeight = DialogUnitsToPixelsY(control.height);
        children.push_back(childHandle);
    }
    windows[dialogHandle].children = std::move(children);
    return dialogHandle;
}

void DestroyWindowRecord(HWND window) {
    std::lock_guard lock(windowsMutex);
    Window* record = FindWindowRecord(window);
    if (record == nullptr) return;
    for (HWND child : record->children) windows.erase(child);
    windows.erase(window);
}

std::vector<HWND> TopLevelWindowHandles() {
    std::lock_guard lock(windowsMutex);
    std::vector<HWND> result;
    for (const auto& [handle, window] : windows) {
        if (window.windowClass == kDialogClass) result.push_back(handle);
    }
    return result;
}

std::shared_ptr<MessageQueue> CurrentThreadQueue() {
    if (!threadQueue) {
        threadQueue = std::make_shared<MessageQueue>();
        threadQueue->owner = std::this_thread::get_id();
    }
    return threadQueue;
}

std::shared_ptr<MessageQueue> CurrentThreadQueueIfAny() { return threadQueue; }

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue;
    {
        std::lock_guard lock(windowsMutex);
        Window* record = FindWindowRecord(window);
        if (record == nullptr) return false;
        queue = record->queue;
    }
    {
        std::lock_guard lock(queue->mutex);
        queue->messages.push_back({window, message, wParam, lParam, nullptr});
    }
    queue->changed.notify_all();
    return true;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue;
    CWnd* target = nullptr;
    {
        std::lock_guard lock(windowsMutex);
        Window* record = FindWindowRecord(window);
        if (record == nullptr) return 0;
        queue = record->queue;
        target = record->target;
    }
    if (target == nullptr) return 0;
    if (queue->owner == std::this_thread::get_id()) return target->RouteMessage(message, wParam, lParam);

    // Another thread's window: its thread runs the handler, the caller waits.
    auto reply = std::make_shared<std::promise<LRESULT>>();
    std::future<LRESULT> result = reply->get_future();
    {
        std::lock_guard lock(queue->mutex);
        queue->messages.push_back({window, message, wParam, lParam, reply});
    }
    queue->changed.notify_all();
    return result.get();
}

void RunModalLoop(HWND dialog) {
    std::shared_ptr<MessageQueue> queue = CurrentThreadQueue();
    while (!DialogEnded(dialog)) {
        QueuedMessage next;
        {
            std::unique_lock lock(queue->mutex);
            if (queue->messages.empty()) {
                queue->waiting = true;
                queue->changed.notify_all();
                queue->changed.wait(lock, [&] { return !queue->messages.empty(); });
                queue->waiting = false;
            }
            next = std::move(queue->messages.front());
            queue->messages.pop_front();
        }
        Deliver(next);
    }
}

void RunPendingMessages() {
    std::shared_ptr<MessageQueue> queue = CurrentThreadQueueIfAny();
    if (!queue) return;
    for (;;) {
        QueuedMessage next;
        {
            std::lock_guard lock(queue->mutex);
            if (queue->messages.empty()) return;
            next = std::move(queue->messages.front());
            queue->messages.pop_front();
        }
        Deliver(next);
    }
}

Operator* CurrentOperator() { return currentOperator.load(); }

HMENU MenuHandleOf(HWND window) {
    return reinterpret_cast<HMENU>(reinterpret_cast<std::uintptr_t>(window) + kMenuOffset);
}
HWND WindowOfMenu(HMENU menu) {
    return reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(menu) - kMenuOffset);
}
HDC DeviceContextOf(HWND window) {
    return reinterpret_cast<HDC>(reinterpret_cast<std::uintptr_t>(window) + kDeviceContextOffset);
}
HWND WindowOfDeviceContext(HDC context) {
    return reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(context) - kDeviceContextOffset);
}

}  // namespace headless::detail

namespace headless {

void SetOperator(Operator* op) { detail::currentOperator.store(op); }

}  // namespace headless
