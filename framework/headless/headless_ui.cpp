#include "framework/headless/headless_ui.h"

#include <thread>

#include "framework/headless/window_system.h"

namespace headless {
namespace {

using detail::FindWindowRecord;
using detail::Window;
using detail::WindowsMutex;

constexpr auto kPollInterval = std::chrono::milliseconds(5);

template <class Result, class Reader>
Result ReadWindow(HWND handle, Result missing, Reader reader) {
    std::lock_guard lock(WindowsMutex());
    const Window* window = FindWindowRecord(handle);
    return window != nullptr ? reader(*window) : missing;
}

HWND ChildWithId(const Window& dialog, int id) {
    for (HWND child : dialog.children) {
        const Window* record = FindWindowRecord(child);
        if (record != nullptr && record->id == id) return child;
    }
    return nullptr;
}

// The control id of the dialog that the operator can reach (lock held):
// it exists, is visible and enabled, and so is its dialog.
const Window* ReachableControl(HWND dialogHandle, int id) {
    const Window* dialog = FindWindowRecord(dialogHandle);
    if (dialog == nullptr || (dialog->style & WS_DISABLED) != 0) return nullptr;
    const Window* control = FindWindowRecord(ChildWithId(*dialog, id));
    if (control == nullptr || (control->style & WS_VISIBLE) == 0 || (control->style & WS_DISABLED) != 0) {
        return nullptr;
    }
    return control;
}

}  // namespace

bool IsWindow(HWND window) {
    return ReadWindow(window, false, [](const Window&) { return true; });
}

HWND FindDialog(UINT templateId) {
    for (HWND handle : detail::TopLevelWindowHandles()) {
        if (ReadWindow(handle, 0u, [](const Window& w) { return w.templateId; }) == templateId) return handle;
    }
    return nullptr;
}

HWND WaitForDialog(UINT templateId, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (HWND found = FindDialog(templateId)) return found;
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(kPollInterval);
    }
}

HWND DialogItem(HWND dialog, int id) {
    return ReadWindow(dialog, HWND{nullptr}, [id](const Window& w) { return ChildWithId(w, id); });
}

std::string WindowText(HWND window) {
    return ReadWindow(window, std::string(), [](const Window& w) { return w.text; });
}

bool IsWindowEnabled(HWND window) {
    return ReadWindow(window, false, [](const Window& w) { return (w.style & WS_DISABLED) == 0; });
}

bool IsWindowVisible(HWND window) {
    return ReadWindow(window, false, [](const Window& w) { return (w.style & WS_VISIBLE) != 0; });
}

std::vector<std::string> ListItems(HWND listOrCombo) {
    return ReadWindow(listOrCombo, std::vector<std::string>(), [](const Window& w) { return w.items; });
}

int CurrentSelection(HWND combo) {
    return ReadWindow(combo, CB_ERR, [](const Window& w) { return w.selection; });
}

int CheckState(HWND button) {
    return ReadWindow(button, 0, [](const Window& w) { return w.check; });
}

UINT StaticIconId(HWND iconStatic) {
    return ReadWindow(iconStatic, 0u, [](const Window& w) { return w.iconId; });
}

HICON WindowIcon(HWND window, bool bigIcon) {
    return ReadWindow(window, HICON{nullptr},
                      [bigIcon](const Window& w) { return bigIcon ? w.bigIcon : w.smallIcon; });
}

std::vector<MenuItem> SystemMenuItems(HWND window) {
    return ReadWindow(window, std::vector<MenuItem>(), [](const Window& w) { return w.systemMenu; });
}

std::vector<DrawnIcon> DrawnIcons(HWND window) {
    return ReadWindow(window, std::vector<DrawnIcon>(), [](const Window& w) { return w.drawnIcons; });
}

bool ClickButton(HWND dialog, int id) {
    HWND button = nullptr;
    {
        std::lock_guard lock(WindowsMutex());
        const Window* control = ReachableControl(dialog, id);
        if (control == nullptr || control->windowClass != "BUTTON") return false;
        button = control->handle;
    }
    return detail::Post(dialog, WM_COMMAND, MakeWParam(static_cast<UINT>(id), BN_CLICKED),
                        reinterpret_cast<LPARAM>(button));
}

bool SelectComboEntry(HWND dialog, int id, int index) {
    HWND combo = nullptr;
    {
        std::lock_guard lock(WindowsMutex());
        const Window* reachable = ReachableControl(dialog, id);
        if (reachable == nullptr || reachable->windowClass != "COMBOBOX") return false;
        Window* control = FindWindowRecord(reachable->handle);
        if (index < 0 || index >= static_cast<int>(control->items.size())) return false;
        control->selection = index;
        control->text = control->items[static_cast<std::size_t>(index)];
        combo = control->handle;
    }
    return detail::Post(dialog, WM_COMMAND, MakeWParam(static_cast<UINT>(id), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(combo));
}

bool ChooseSystemMenuItem(HWND dialog, UINT_PTR commandId) {
    {
        std::lock_guard lock(WindowsMutex());
        const Window* window = FindWindowRecord(dialog);
        if (window == nullptr || (window->style & WS_DISABLED) != 0) return false;
        bool onMenu = false;
        for (const MenuItem& item : window->systemMenu) {
            onMenu = onMenu || ((item.flags & MF_SEPARATOR) == 0 && item.commandId == commandId);
        }
        if (!onMenu) return false;
    }
    return detail::Post(dialog, WM_SYSCOMMAND, commandId, 0);
}

bool CloseDialog(HWND dialog) { return ChooseSystemMenuItem(dialog, SC_CLOSE); }

void SetIconic(HWND window, bool iconic) {
    std::lock_guard lock(WindowsMutex());
    if (Window* record = FindWindowRecord(window)) record->iconic = iconic;
}

void SetClientSize(HWND window, int width, int height) {
    std::lock_guard lock(WindowsMutex());
    if (Window* record = FindWindowRecord(window)) {
        record->clientWidth = width;
        record->clientHeight = height;
    }
}

void BroadcastDeviceChange(UINT event) {
    for (HWND window : detail::TopLevelWindowHandles()) detail::Post(window, WM_DEVICECHANGE, event, 0);
}

bool WaitUntilIdle(HWND window, std::chrono::milliseconds timeout) {
    std::shared_ptr<detail::MessageQueue> queue;
    {
        std::lock_guard lock(WindowsMutex());
        const Window* record = FindWindowRecord(window);
        if (record == nullptr) return false;
        queue = record->queue;
    }
    std::unique_lock lock(queue->mutex);
    return queue->changed.wait_for(lock, timeout,
                                   [&] { return queue->messages.empty() && queue->waiting; });
}

}  // namespace headless
