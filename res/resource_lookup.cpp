#include "framework/resource_data.h"

const DialogTemplate* FindDialogTemplate(UINT id) {
    for (const DialogTemplate& dialog : ProgramResourceTables().dialogs) {
        if (dialog.id == id) return &dialog;
    }
    return nullptr;
}

const char* FindStringResource(UINT id) {
    for (const StringResource& entry : ProgramResourceTables().strings) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

bool HasIconResource(UINT id) {
    for (UINT icon : ProgramResourceTables().icons) {
        if (icon == id) return true;
    }
    return false;
}
