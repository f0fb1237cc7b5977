// The dialog framework the operator interface is written against: strings,
// windows, dialogs, controls, menus, painting, message boxes, threads,
// files and the application object. One backend is linked per program:
// win32 (the real window system) or headless (in-memory windows).
#pragma once

#include "framework/controls.h"
#include "framework/cstring.h"
#include "framework/dialog.h"
#include "framework/file.h"
#include "framework/menu.h"
#include "framework/message_box.h"
#include "framework/message_map.h"
#include "framework/paint_dc.h"
#include "framework/thread.h"
#include "framework/win_app.h"
#include "framework/win_defs.h"
#include "framework/window.h"
