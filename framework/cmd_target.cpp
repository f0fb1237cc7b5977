#include "framework/message_map.h"

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (const MessageMapEntry& entry : map->entries) {
            if (entry.message != message) continue;
            if (message == WM_COMMAND &&
                (entry.notifyCode != HighWord(wParam) || entry.commandId != LowWord(wParam))) {
                continue;
            }
            result = entry.call(*this, wParam, lParam);
            return true;
        }
    }
    return false;
}
