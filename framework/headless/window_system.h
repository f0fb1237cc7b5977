// Inside the headless window system: the window records, the per-thread
// message queues and the message loop. One mutex guards all window records;
// it is never held while a window's handler runs.
#pragma once

#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/headless/headless_ui.h"
#include "framework/window.h"

struct DialogTemplate;

namespace headless::detail {

struct QueuedMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // A message sent from another thread: the sender waits for the result.
    std::shared_ptr<std::promise<LRESULT>> reply;
};

struct MessageQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QueuedMessage> messages;
    bool waiting = false;  // the owning thread waits in its loop
    std::thread::id owner;
};

struct Window {
    HWND handle = nullptr;
    HWND parent = nullptr;
    int id = 0;
    std::string windowClass;  // "#32770" for dialogs
    std::string text;
    UINT style = 0;
    UINT exStyle = 0;
    UINT templateId = 0;  // dialogs
    UINT iconId = 0;      // icon statics
    CWnd* target = nullptr;  // dialogs: the object that handles the messages
    std::shared_ptr<MessageQueue> queue;
    std::vector<HWND> children;

    std::vector<std::string> items;  // list and combo boxes
    int selection = -1;
    int check = 0;

    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    std::vector<MenuItem> systemMenu;
    bool iconic = false;
    int clientWidth = 0;
    int clientHeight = 0;
    std::vector<DrawnIcon> drawnIcons;

    bool modalEnded = false;
    INT_PTR modalResult = 0;
};

// The lock that guards every window record.
std::mutex& WindowsMutex();
// The record of window, or null (lock held).
Window* FindWindowRecord(HWND window);
// A dialog with its controls from tmpl, owned by the calling thread.
HWND CreateDialogWindow(const DialogTemplate& tmpl, HWND parent, CWnd* target);
void DestroyWindowRecord(HWND window);
std::vector<HWND> TopLevelWindowHandles();

// The calling thread's queue, made on first use.
std::shared_ptr<MessageQueue> CurrentThreadQueue();
// The calling thread's queue, or null if it owns no windows.
std::shared_ptr<MessageQueue> CurrentThreadQueueIfAny();

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the calling thread's messages until the dialog has ended.
void RunModalLoop(HWND dialog);
// Runs the messages already queued for the calling thread.
void RunPendingMessages();

Operator* CurrentOperator();

// The handle value a window's system menu and its paint context carry.
HMENU MenuHandleOf(HWND window);
HWND WindowOfMenu(HMENU menu);
HDC DeviceContextOf(HWND window);
HWND WindowOfDeviceContext(HDC context);

}  // namespace headless::detail
