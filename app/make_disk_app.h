// The application object: runs the main dialog for the life of the program.
#pragma once

#include "framework/framework.h"

class CMakeDiskApp : public CWinApp {
public:
    CMakeDiskApp();

    // Runs the main dialog modally; false, so that the program ends when
    // the dialog closes.
    bool InitInstance() override;

protected:
    const MessageMap* GetMessageMap() const override;
};

extern CMakeDiskApp theApp;
