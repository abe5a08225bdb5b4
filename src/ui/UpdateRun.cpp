// The update run: the dialog's commands locked around the transfer and given back afterwards.
#include "ui/UpdateDlg.h"

namespace {
// Begin Update, Done, Refresh Serial Ports and Contact Info, in the order they are locked.
const int kLockedCommands[] = {IDC_BEGIN_UPDATE, IDCANCEL, IDC_REFRESH_PORTS, IDC_CONTACT_INFO};
} // namespace

void CUpdateDlg::SetUpdateCommandsLocked(bool locked) {
    for (int id : kLockedCommands) {
        EnableDlgItem(id, locked ? FALSE : TRUE);
    }
    // While the firmware is written, nothing may close the dialog or open another one.
    m_bUpdateRunning = locked;
    if (fw::SystemMenu* menu = GetSystemMenu()) {
        const UINT state = MF_BYCOMMAND | (locked ? MF_GRAYED : MF_ENABLED);
        menu->EnableMenuItem(SC_CLOSE, state);
        menu->EnableMenuItem(IDM_ABOUTBOX, state);
    }
}

LRESULT CUpdateDlg::OnRunUpdate(WPARAM, LPARAM) {
    {
        const UpdateFrame frame(*this);
        SetUpdateCommandsLocked(true);
        TransferHexFile();
        SetDlgItemText(IDC_BEGIN_UPDATE, "Begin Update");
        SetUpdateCommandsLocked(false);
    }
    // Where the run is the update's outermost frame (its message posted by itself).
    ReportUnraisedFailure();
    return 1;
}
