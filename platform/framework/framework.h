// The dialog framework the operator interface is written against: strings,
// windows, dialogs, controls, menus, painting, message boxes, threads,
// files and the application object. One backend is linked per program:
// win32 (the real window system) or headless (in-memory windows).
#pragma once

#include "platform/framework/controls.h"
#include "platform/framework/cstring.h"
#include "platform/framework/dialog.h"
#include "platform/framework/file.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/message_map.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/thread.h"
#include "platform/framework/win_app.h"
#include "platform/framework/win_defs.h"
#include "platform/framework/window.h"
