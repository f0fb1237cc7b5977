#include "framework/win_app.h"

#include "framework/backend.h"

namespace {
CWinApp* registeredApp = nullptr;
}

CWinApp::CWinApp(const char* appName) : m_appName(appName != nullptr ? appName : "") {
    registeredApp = this;
}

CWinApp::~CWinApp() {
    if (registeredApp == this) registeredApp = nullptr;
}

bool CWinApp::InitInstance() { return true; }

const char* CWinApp::AppName() const {
    // Filled on first use: the program's file name is known only once it runs.
    std::call_once(m_appNameFilled, [this] {
        if (m_appName.empty()) m_appName = framework::backend::DefaultApplicationName();
    });
    return m_appName.c_str();
}

HICON CWinApp::LoadIcon(UINT id) const { return framework::backend::LoadIconResource(id); }

CWinApp* AfxGetApp() { return registeredApp; }

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    app->InitInstance();
    return 0;
}
