// Message maps: each window or command-target class lists the messages it
// handles in a table, in order; a message goes to the first matching entry
// of the most derived class, then of its bases. WM_COMMAND entries also
// match the notification code and the control (or command) id.
//
//   const MessageMap* CMyDialog::GetMessageMap() const {
//       static constexpr MessageMapEntry entries[] = {
//           msgmap::OnWmPaint<&CMyDialog::OnPaint>(),
//           msgmap::OnBnClicked<kIdButton, &CMyDialog::OnButton>(),
//       };
//       static const MessageMap map{CDialog::ThisMessageMap(), entries};
//       return &map;
//   }
#pragma once

#include <cstddef>
#include <span>

#include "framework/win_defs.h"

class CCmdTarget;

struct MessageMapEntry {
    UINT message;
    UINT notifyCode;  // WM_COMMAND only
    UINT commandId;   // WM_COMMAND only
    LRESULT (*call)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;
    std::span<const MessageMapEntry> entries;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Runs the first handler that the message map chain has for the
    // message; false when there is none.
    bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    virtual const MessageMap* GetMessageMap() const { return nullptr; }
};

namespace msgmap {

template <class Member>
struct MemberOf;
template <class Class, class Result, class... Arguments>
struct MemberOf<Result (Class::*)(Arguments...)> {
    using type = Class;
};
template <auto Handler>
using HandlerClass = typename MemberOf<decltype(Handler)>::type;

// WM_SYSCOMMAND: void Handler(UINT commandId, LPARAM parameter)
template <auto Handler>
constexpr MessageMapEntry OnWmSysCommand() {
    return {WM_SYSCOMMAND, 0, 0, [](CCmdTarget& target, WPARAM wParam, LPARAM lParam) -> LRESULT {
                (static_cast<HandlerClass<Handler>&>(target).*Handler)(static_cast<UINT>(wParam), lParam);
                return 0;
            }};
}

// WM_PAINT: void Handler()
template <auto Handler>
constexpr MessageMapEntry OnWmPaint() {
    return {WM_PAINT, 0, 0, [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
                (static_cast<HandlerClass<Handler>&>(target).*Handler)();
                return 0;
            }};
}

// WM_QUERYDRAGICON: HICON Handler()
template <auto Handler>
constexpr MessageMapEntry OnWmQueryDragIcon() {
    return {WM_QUERYDRAGICON, 0, 0, [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
                return reinterpret_cast<LRESULT>((static_cast<HandlerClass<Handler>&>(target).*Handler)());
            }};
}

// A WM_COMMAND notification from one control: void Handler()
template <UINT NotifyCode, UINT CommandId, auto Handler>
constexpr MessageMapEntry OnControlNotify() {
    return {WM_COMMAND, NotifyCode, CommandId, [](CCmdTarget& target, WPARAM, LPARAM) -> LRESULT {
                (static_cast<HandlerClass<Handler>&>(target).*Handler)();
                return 0;
            }};
}

template <UINT ControlId, auto Handler>
constexpr MessageMapEntry OnBnClicked() {
    return OnControlNotify<BN_CLICKED, ControlId, Handler>();
}

template <UINT ControlId, auto Handler>
constexpr MessageMapEntry OnCbnSelChange() {
    return OnControlNotify<CBN_SELCHANGE, ControlId, Handler>();
}

// A menu or accelerator command (notification code 0): void Handler()
template <UINT CommandId, auto Handler>
constexpr MessageMapEntry OnCommand() {
    return OnControlNotify<0, CommandId, Handler>();
}

// Any message with both parameters: LRESULT Handler(WPARAM, LPARAM)
template <UINT Message, auto Handler>
constexpr MessageMapEntry OnMessage() {
    return {Message, 0, 0, [](CCmdTarget& target, WPARAM wParam, LPARAM lParam) -> LRESULT {
                return (static_cast<HandlerClass<Handler>&>(target).*Handler)(wParam, lParam);
            }};
}

}  // namespace msgmap
