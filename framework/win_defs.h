// Window-system types and constants for code written against the dialog
// framework, without <windows.h>.
//
// The handle and integer types are declared exactly as <windows.h> declares
// them on the Windows targets (strict handle types, pointer-sized message
// parameters), so a backend file may include both headers in either order.
// Constants are skipped where <windows.h> already defined them as macros
// (same values).
#pragma once

#include <cstdint>

struct HWND__;
struct HICON__;
struct HMENU__;
struct HDC__;
struct HINSTANCE__;
using HWND = HWND__*;
using HICON = HICON__*;
using HMENU = HMENU__*;
using HDC = HDC__*;
using HINSTANCE = HINSTANCE__*;

using UINT = unsigned int;
using BOOL = int;
using LPVOID = void*;
#if defined(_WIN64)
using WPARAM = unsigned long long;
using LPARAM = long long;
#elif defined(_WIN32)
using WPARAM = unsigned int;
using LPARAM = long;
#else
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
#endif
using LRESULT = LPARAM;
using UINT_PTR = WPARAM;
#if defined(_WIN32) && !defined(_WIN64)
using INT_PTR = int;
#else
using INT_PTR = LPARAM;
#endif

// The two halves of a WM_COMMAND wParam: control id (low) and notification (high).
constexpr UINT LowWord(WPARAM value) { return static_cast<UINT>(value & 0xFFFFu); }
constexpr UINT HighWord(WPARAM value) { return static_cast<UINT>((value >> 16) & 0xFFFFu); }
constexpr WPARAM MakeWParam(UINT low, UINT high) {
    return static_cast<WPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}

// Framework command ids (not part of <windows.h>).
inline constexpr UINT ID_HELP = 0xE146;

#define VORN_FW_CONSTANT(name, value) inline constexpr UINT name = value;
#define VORN_FW_SIGNED(name, value) inline constexpr int name = value;

// Window messages
#ifndef WM_DESTROY
VORN_FW_CONSTANT(WM_DESTROY, 0x0002u)
#endif
#ifndef WM_SETTEXT
VORN_FW_CONSTANT(WM_SETTEXT, 0x000Cu)
#endif
#ifndef WM_PAINT
VORN_FW_CONSTANT(WM_PAINT, 0x000Fu)
#endif
#ifndef WM_CLOSE
VORN_FW_CONSTANT(WM_CLOSE, 0x0010u)
#endif
#ifndef WM_ICONERASEBKGND
VORN_FW_CONSTANT(WM_ICONERASEBKGND, 0x0027u)
#endif
#ifndef WM_QUERYDRAGICON
VORN_FW_CONSTANT(WM_QUERYDRAGICON, 0x0037u)
#endif
#ifndef WM_SETICON
VORN_FW_CONSTANT(WM_SETICON, 0x0080u)
#endif
#ifndef WM_INITDIALOG
VORN_FW_CONSTANT(WM_INITDIALOG, 0x0110u)
#endif
#ifndef WM_COMMAND
VORN_FW_CONSTANT(WM_COMMAND, 0x0111u)
#endif
#ifndef WM_SYSCOMMAND
VORN_FW_CONSTANT(WM_SYSCOMMAND, 0x0112u)
#endif
#ifndef WM_DEVICECHANGE
VORN_FW_CONSTANT(WM_DEVICECHANGE, 0x0219u)
#endif
#ifndef WM_USER
VORN_FW_CONSTANT(WM_USER, 0x0400u)
#endif

// WM_DEVICECHANGE events
#ifndef DBT_DEVICEARRIVAL
VORN_FW_CONSTANT(DBT_DEVICEARRIVAL, 0x8000u)
#endif
#ifndef DBT_DEVICEREMOVECOMPLETE
VORN_FW_CONSTANT(DBT_DEVICEREMOVECOMPLETE, 0x8004u)
#endif

// Control notifications carried in WM_COMMAND
#ifndef BN_CLICKED
VORN_FW_CONSTANT(BN_CLICKED, 0u)
#endif
#ifndef CBN_SELCHANGE
VORN_FW_CONSTANT(CBN_SELCHANGE, 1u)
#endif

// System commands
#ifndef SC_MOVE
VORN_FW_CONSTANT(SC_MOVE, 0xF010u)
#endif
#ifndef SC_CLOSE
VORN_FW_CONSTANT(SC_CLOSE, 0xF060u)
#endif

// WM_SETICON
#ifndef ICON_SMALL
VORN_FW_CONSTANT(ICON_SMALL, 0u)
#endif
#ifndef ICON_BIG
VORN_FW_CONSTANT(ICON_BIG, 1u)
#endif

// Message boxes and dialog results
#ifndef MB_OK
VORN_FW_CONSTANT(MB_OK, 0x0u)
#endif
#ifndef MB_OKCANCEL
VORN_FW_CONSTANT(MB_OKCANCEL, 0x1u)
#endif
#ifndef MB_YESNO
VORN_FW_CONSTANT(MB_YESNO, 0x4u)
#endif
#ifndef MB_TYPEMASK
VORN_FW_CONSTANT(MB_TYPEMASK, 0xFu)
#endif
#ifndef IDOK
VORN_FW_SIGNED(IDOK, 1)
#endif
#ifndef IDCANCEL
VORN_FW_SIGNED(IDCANCEL, 2)
#endif
#ifndef IDYES
VORN_FW_SIGNED(IDYES, 6)
#endif
#ifndef IDNO
VORN_FW_SIGNED(IDNO, 7)
#endif

// Menus
#ifndef MF_STRING
VORN_FW_CONSTANT(MF_STRING, 0x0000u)
#endif
#ifndef MF_SEPARATOR
VORN_FW_CONSTANT(MF_SEPARATOR, 0x0800u)
#endif

// System metrics
#ifndef SM_CXICON
VORN_FW_SIGNED(SM_CXICON, 11)
#endif
#ifndef SM_CYICON
VORN_FW_SIGNED(SM_CYICON, 12)
#endif

// Window styles
#ifndef WS_POPUP
VORN_FW_CONSTANT(WS_POPUP, 0x80000000u)
#endif
#ifndef WS_CHILD
VORN_FW_CONSTANT(WS_CHILD, 0x40000000u)
#endif
#ifndef WS_VISIBLE
VORN_FW_CONSTANT(WS_VISIBLE, 0x10000000u)
#endif
#ifndef WS_DISABLED
VORN_FW_CONSTANT(WS_DISABLED, 0x08000000u)
#endif
#ifndef WS_CAPTION
VORN_FW_CONSTANT(WS_CAPTION, 0x00C00000u)
#endif
#ifndef WS_BORDER
VORN_FW_CONSTANT(WS_BORDER, 0x00800000u)
#endif
#ifndef WS_VSCROLL
VORN_FW_CONSTANT(WS_VSCROLL, 0x00200000u)
#endif
#ifndef WS_SYSMENU
VORN_FW_CONSTANT(WS_SYSMENU, 0x00080000u)
#endif
#ifndef WS_GROUP
VORN_FW_CONSTANT(WS_GROUP, 0x00020000u)
#endif
#ifndef WS_TABSTOP
VORN_FW_CONSTANT(WS_TABSTOP, 0x00010000u)
#endif
#ifndef WS_EX_APPWINDOW
VORN_FW_CONSTANT(WS_EX_APPWINDOW, 0x00040000u)
#endif
#ifndef DS_SETFONT
VORN_FW_CONSTANT(DS_SETFONT, 0x40u)
#endif
#ifndef DS_MODALFRAME
VORN_FW_CONSTANT(DS_MODALFRAME, 0x80u)
#endif

// Control styles
#ifndef SS_LEFT
VORN_FW_CONSTANT(SS_LEFT, 0x0u)
#endif
#ifndef SS_ICON
VORN_FW_CONSTANT(SS_ICON, 0x3u)
#endif
#ifndef SS_NOPREFIX
VORN_FW_CONSTANT(SS_NOPREFIX, 0x80u)
#endif
#ifndef ES_AUTOHSCROLL
VORN_FW_CONSTANT(ES_AUTOHSCROLL, 0x80u)
#endif
#ifndef BS_PUSHBUTTON
VORN_FW_CONSTANT(BS_PUSHBUTTON, 0x0u)
#endif
#ifndef BS_DEFPUSHBUTTON
VORN_FW_CONSTANT(BS_DEFPUSHBUTTON, 0x1u)
#endif
#ifndef BS_AUTORADIOBUTTON
VORN_FW_CONSTANT(BS_AUTORADIOBUTTON, 0x9u)
#endif
#ifndef BS_TYPEMASK
VORN_FW_CONSTANT(BS_TYPEMASK, 0xFu)
#endif
#ifndef LBS_NOTIFY
VORN_FW_CONSTANT(LBS_NOTIFY, 0x1u)
#endif
#ifndef LBS_NOINTEGRALHEIGHT
VORN_FW_CONSTANT(LBS_NOINTEGRALHEIGHT, 0x100u)
#endif
#ifndef CBS_DROPDOWN
VORN_FW_CONSTANT(CBS_DROPDOWN, 0x2u)
#endif

// List and combo box results, button check states
#ifndef CB_ERR
VORN_FW_SIGNED(CB_ERR, -1)
#endif
#ifndef LB_ERR
VORN_FW_SIGNED(LB_ERR, -1)
#endif
#ifndef BST_UNCHECKED
VORN_FW_SIGNED(BST_UNCHECKED, 0)
#endif
#ifndef BST_CHECKED
VORN_FW_SIGNED(BST_CHECKED, 1)
#endif

// Thread priorities
#ifndef THREAD_PRIORITY_NORMAL
VORN_FW_SIGNED(THREAD_PRIORITY_NORMAL, 0)
#endif

#undef VORN_FW_CONSTANT
#undef VORN_FW_SIGNED
