// The program on the host backend: every service in memory, a package folder of its own, and
// the main dialog run with the test playing the user.
#pragma once
#include <functional>
#include <string>

#include "base/ProductNames.h"
#include "base/VirtualClock.h"
#include "fw/App.h"
#include "fw/host/DialogModel.h"
#include "fw/host/FakeTopWindows.h"
#include "fw/host/HostUi.h"
#include "fw/host/MemoryPortMap.h"
#include "fw/host/MemoryProfile.h"
#include "fw/host/RecordingShell.h"
#include "support/TempDir.h"
#include "ui/DialogTemplates.h"
#include "ui/UpdateDlg.h"

struct ProgramHarness {
    explicit ProgramHarness(fw::Comm* comm = nullptr) {
        ui.setDialogTemplates(ProgramDialogTemplates());
        useComm(comm);
    }

    void useComm(fw::Comm* comm) {
        fw::Services services;
        services.comm = comm;
        services.clock = &clock;
        services.portMap = &portMap;
        services.profile = &profile;
        services.windows = &windows;
        services.shell = &shell;
        services.ui = &ui;
        app.SetServices(services);
        app.SetAppName(PROGRAM_NAME);
        app.SetRegistryKey(COMPANY_NAME);
    }

    // A usable package: the description file naming the HEX file, and the HEX file.
    void writePackage(const std::string& version = "2.10", const std::string& hexName = "upd.hex",
                      const std::string& hexContent = ":00000001FF\r\n") {
        folder.write("Keystrand_SM.txt", version + "\r\n" + hexName + "\r\n");
        folder.write(hexName, hexContent);
    }

    // Runs the main dialog modally; `user` acts inside its modal loop. Other dialogs (the About
    // box) go to `onOtherDialog`, or are closed with OK.
    void run(CUpdateDlg& dlg,
             const std::function<void(CUpdateDlg&, fw::host::DialogModel&)>& user) {
        dlg.m_strProgramDir = folder.dir();
        ui.onModal = [&](fw::Dialog& d) {
            if (&d == &dlg) {
                user(dlg, *fw::host::ModelOf(dlg));
                if (!fw::host::ModelOf(dlg)->ended) {
                    dlg.EndDialog(IDCANCEL);
                }
            } else if (onOtherDialog) {
                onOtherDialog(d, *fw::host::ModelOf(d));
            } else {
                d.EndDialog(IDOK);
            }
        };
        app.m_pMainWnd = &dlg;
        dlg.DoModal();
        app.m_pMainWnd = nullptr;
    }

    fw::host::HostUi ui;
    base::VirtualClock clock;
    fw::host::MemoryProfile profile;
    fw::host::MemoryPortMap portMap;
    fw::host::FakeTopWindows windows;
    fw::host::RecordingShell shell;
    fw::App app;
    TempDir folder;
    std::function<void(fw::Dialog&, fw::host::DialogModel&)> onOtherDialog;
};
