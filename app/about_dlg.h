// The About box: the program's icon, name and version, and an OK button.
#pragma once

#include "framework/framework.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

protected:
    void DoDataExchange(CDataExchange* exchange) override;
};
