// The program's dialog templates, string table and icon ids as data. The
// headless backend builds its windows from them; the win32 backend uses the
// compiled .rc made from the same source (res/).
#pragma once

#include <span>

#include "framework/win_defs.h"

struct ControlTemplate {
    const char* windowClass;  // "STATIC", "EDIT", "BUTTON", "LISTBOX", "COMBOBOX"
    int id;                   // -1 for a static without id
    const char* text;         // UTF-8
    UINT iconId;              // an SS_ICON static: its icon resource, else 0
    int x, y, width, height;  // dialog units
    UINT style;               // complete, WS_CHILD and WS_VISIBLE included where set
    UINT exStyle;
};

struct DialogTemplate {
    UINT id;
    bool extended;
    const char* caption;
    int x, y, width, height;
    UINT style;
    UINT exStyle;
    const char* fontName;
    int fontPoints;
    int fontWeight;
    int fontItalic;
    int fontCharset;
    std::span<const ControlTemplate> controls;
};

struct StringResource {
    UINT id;
    const char* text;  // UTF-8
};

struct ProgramResources {
    std::span<const DialogTemplate> dialogs;
    std::span<const StringResource> strings;
    std::span<const UINT> icons;
};

// The program's resources; provided by the resource library (res/).
const ProgramResources& ProgramResourceTables();

const DialogTemplate* FindDialogTemplate(UINT id);
const char* FindStringResource(UINT id);
bool HasIconResource(UINT id);
