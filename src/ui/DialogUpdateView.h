// DialogUpdateView: the main dialog as the face of an update session, turning its events into
// the dialog's status lines, port buttons and one pumped message per progress update.
#pragma once
#include "update/UpdateObserver.h"

class CUpdateDlg;

class DialogUpdateView : public update::UpdateObserver {
public:
    // The update of COMn, port.
    DialogUpdateView(CUpdateDlg& dialog, int port) : m_dialog(dialog), m_port(port) {}

    // Before the package is checked, the port opened, "<V" or "<W" sent, the speed changed or a
    // boot loader spoken to: a handler that failed meanwhile ends the update first.
    void stageChanged(update::Stage stage) override;
    // The port is held by another program: ask the companion test program to lend it, then try
    // once more.
    bool retryOpen(const base::SystemError&) override;
    // The other eleven port buttons are disabled while the port is in use.
    void portOpened() override;
    void bootLoaderVersion(const std::string& version) override;
    void rowsCounted(int total) override;
    // Progress on even rows and on the last one, with a full repaint every 50th row, and one
    // message dispatched per progress update.
    void rowSent(int row, int total, std::size_t rowLength) override;

private:
    CUpdateDlg& m_dialog;
    int m_port;
};
