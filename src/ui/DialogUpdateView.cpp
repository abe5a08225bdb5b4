// The dialog's side of an update session's events.
#include "ui/DialogUpdateView.h"

#include <cstdio>

#include "fw/App.h"
#include "ui/PortButtons.h"
#include "ui/UpdateDlg.h"

namespace {
constexpr int kRepaintEveryRows = 50;
} // namespace

void DialogUpdateView::stageChanged(update::Stage stage) {
    using update::Stage;
    switch (stage) {
    case Stage::kCheckingPackage:
    case Stage::kOpeningPort:
    case Stage::kProbing:
    case Stage::kIdentifyingDevice:
    case Stage::kRestarting:
    case Stage::kSwitchingSpeed:
    case Stage::kSettling:
        m_dialog.RaiseNestedHandlerFailure();
        break;
    default:
        break;
    }
}

bool DialogUpdateView::retryOpen(const base::SystemError&) {
    m_dialog.RequestPortLoan(m_port);
    return true;
}

void DialogUpdateView::portOpened() {
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        if (n != m_port) {
            m_dialog.EnableDlgItem(PortButtonId(n), FALSE);
        }
    }
}

void DialogUpdateView::bootLoaderVersion(const std::string& version) {
    m_dialog.SetDlgItemText(IDC_BOOTLOADER_VERSION, "Boot loader version  =  " + version);
}

void DialogUpdateView::rowsCounted(int total) {
    m_dialog.m_nRowCount = total;
}

void DialogUpdateView::rowSent(int row, int total, std::size_t) {
    if (row != total && row % 2 != 0) {
        return;
    }
    char progress[96];
    std::snprintf(progress, sizeof progress, "Sending hex file row  %d  of  %d", row, total);
    m_dialog.SetDlgItemText(IDC_ROW_PROGRESS, progress);
    if (row % kRepaintEveryRows == 0) {
        m_dialog.InvalidateRect(FALSE);
        m_dialog.UpdateWindow();
    }
    // The posted paint makes sure the one blocking retrieval returns.
    m_dialog.PostMessage(WM_PAINT, 0, 0);
    fw::App::Current()->PumpMessage();
    // A handler that failed in that message (or in the repaint) ends the update from here. After
    // the last row the device's file-complete answer is still awaited: it tells whether the
    // device was updated.
    if (row != total) {
        m_dialog.RaiseNestedHandlerFailure();
    }
}
