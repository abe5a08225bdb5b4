// The update run: the dialog's commands locked around the transfer and given back afterwards;
// the update's frame, which Begin Update and the run both hold, and what it tells when it ends.
#include "ui/UpdateDlg.h"

namespace {
// Begin Update, Done, Refresh Serial Ports and Contact Info, in the order they are locked.
const int kLockedCommands[] = {IDC_BEGIN_UPDATE, IDCANCEL, IDC_REFRESH_PORTS, IDC_CONTACT_INFO};
} // namespace

CUpdateDlg::UpdateFrame::UpdateFrame(CUpdateDlg& dialog) : m_dialog(dialog) {
    m_dialog.m_nUpdateFrames++;
}

CUpdateDlg::UpdateFrame::~UpdateFrame() {
    if (--m_dialog.m_nUpdateFrames != 0 || m_dialog.m_strNestedFailure.empty()) {
        return;
    }
    // A handler failed inside the update and the update ended without acting on it (in a
    // message box, after the last row): it changed nothing of the update, whose own message
    // stands, but it is never silent. It is told once that message is out: at the end of the
    // frame's handler, or after the report of an exception that ended the frame.
    m_dialog.m_strUnreportedFailure = m_dialog.m_strNestedFailure;
    m_dialog.m_strNestedFailure.clear();
}

void CUpdateDlg::ReportUnraisedFailure() {
    if (m_nUpdateFrames != 0 || m_strUnreportedFailure.empty()) {
        return;
    }
    const std::string what = m_strUnreportedFailure;
    m_strUnreportedFailure.clear();
    fw::Dialog::OnHandlerException(what);
}

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
