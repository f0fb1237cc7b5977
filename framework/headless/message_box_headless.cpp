// Message boxes answered by the operator object.
#include <cstdio>

#include "framework/backend.h"
#include "framework/headless/window_system.h"
#include "framework/message_box.h"
#include "framework/win_app.h"

namespace {

// The answer when nobody is there to give one: OK where there is an OK
// button, otherwise the button that changes nothing.
int UnattendedAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return IDOK;
    case MB_OKCANCEL:
        return IDCANCEL;
    default:
        return IDNO;
    }
}

}  // namespace

int AfxMessageBox(const char* text, UINT type, UINT) {
    headless::MessageBoxRequest box;
    box.text = text != nullptr ? text : "";
    CWinApp* app = AfxGetApp();
    box.caption = app != nullptr ? app->AppName() : framework::backend::DefaultApplicationName();
    box.type = type;

    headless::Operator* op = headless::detail::CurrentOperator();
    int answer = 0;
    if (op != nullptr) {
        answer = op->AnswerMessageBox(box);
    } else {
        answer = UnattendedAnswer(type);
        std::fprintf(stderr, "[%s] %s\n", box.caption.c_str(), box.text.c_str());
    }
    // While a box is open its modal loop goes on delivering the thread's
    // messages; here they are delivered before the box returns.
    headless::detail::RunPendingMessages();
    return answer;
}
