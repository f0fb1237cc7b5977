// The application object: exactly one per program, registered when it is
// constructed; the entry point runs its InitInstance.
#pragma once

#include <mutex>
#include <string>

#include "framework/message_map.h"
#include "framework/win_defs.h"

class CWnd;

class CWinApp : public CCmdTarget {
public:
    // appName null: the program's file name without folder and extension.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program; false ends it without a message loop of its own.
    virtual bool InitInstance();

    // The caption of every message box.
    const char* AppName() const;
    // Icon resource id of the program; null when there is none.
    HICON LoadIcon(UINT id) const;
    // No 3-D look to switch on: the system draws its own controls.
    bool Enable3dControls() { return true; }
    // Help command: the program ships no help file, so there is nothing to open.
    void OnHelp() {}

    CWnd* m_pMainWnd = nullptr;

private:
    mutable std::string m_appName;
    mutable std::once_flag m_appNameFilled;
};

// The registered application object, or null.
CWinApp* AfxGetApp();

// No ActiveX controls are hosted; kept for the shape of InitInstance.
inline void AfxEnableControlContainer() {}

// What an entry point runs: InitInstance of the application object (a
// dialog program does all its work there). Returns the exit code: 0, or 1
// when there is no application object.
int AfxWinMain();
