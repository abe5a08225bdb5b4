// Start-up: window libraries, the settings root, the program directory and the main dialog.
#include "app/UpdateApp.h"

#include "app/ProgramDir.h"
#include "base/ProductNames.h"
#include "ui/UpdateDlg.h"

CUpdateApp::CUpdateApp() = default;

BOOL CUpdateApp::InitInstance() {
    fw::InitCommonControls();
    fw::App::InitInstance();
    fw::InitRichEdit2();
    // Before the dialog exists: it reads the remembered port while it opens.
    SetRegistryKey(COMPANY_NAME);
    const std::string programDir = ProgramDirFromCommandLine(CommandLine());

    CUpdateDlg dlg;
    m_pMainWnd = &dlg;
    dlg.m_strProgramDir = programDir;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
