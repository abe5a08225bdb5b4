// Start-up: the settings root, the program directory handed to the dialog, and the end.
#include <gtest/gtest.h>

#include "app/UpdateApp.h"
#include "base/ProductNames.h"
#include "support/ProgramHarness.h"

namespace {

TEST(UpdateApp, RootsTheSettingsRunsTheDialogWithTheProgramDirectoryAndReturnsFalse) {
    ProgramHarness h; // its services, handed to the program's own application object below
    CUpdateApp app;
    app.SetServices(h.app.services());
    app.SetAppName("upd");
    app.SetCommandLine("\"C:\\Program Files\\Tool\\upd.exe\" /x");
    std::string seenDir;
    std::string seenTitle;
    bool wasMainWindow = false;
    h.ui.onModal = [&](fw::Dialog& d) {
        auto& dlg = static_cast<CUpdateDlg&>(d);
        seenDir = dlg.m_strProgramDir;
        seenTitle = dlg.GetWindowText();
        wasMainWindow = app.m_pMainWnd == &d;
        d.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(app.InitInstance(), FALSE);
    EXPECT_EQ(seenDir, "C:\\Program Files\\Tool\\");
    EXPECT_EQ(seenTitle, "Keystrand SM Firmware Update");
    EXPECT_TRUE(wasMainWindow);
    EXPECT_EQ(h.profile.root(), "software\\" COMPANY_NAME "\\upd");
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

} // namespace
