// Begin Update: the package checked, the chosen port opened (borrowed when the companion test
// program holds it), the device brought from its application firmware into its boot loader, the
// line switched to the boot loader's speed, and the update run.
#include <cstdio>
#include <stdexcept>

#include "fw/App.h"
#include "serial/SerialPortLine.h"
#include "ui/DialogUpdateView.h"
#include "ui/PortButtons.h"
#include "ui/UpdateDlg.h"
#include "ui/UpdateMessages.h"
#include "update/PollingWaits.h"
#include "update/UpdateSession.h"

void CUpdateDlg::OnBeginUpdate() {
    {
        const UpdateFrame frame(*this);
        // Cleared on the ordinary way out only: an exception leaves it set for OnHandlerException.
        m_bBeginUpdateActive = true;
        BeginUpdate();
        m_bBeginUpdateActive = false;
    }
    ReportUnraisedFailure();
}

void CUpdateDlg::BeginUpdate() {
    fw::App& app = *fw::App::Current();
    fw::WaitCursorScope waitCursor(app);

    if (!CheckFirmwareFile()) {
        return;
    }

    SetDlgItemText(IDC_BOOTLOADER_VERSION, "");
    SetDlgItemText(IDC_ROW_PROGRESS, "");
    SetDlgItemText(IDC_UPDATE_RESULT, "");
    const std::string title = "Firmware Update Error";

    const int port = PortOfButton(GetCheckedRadioButton(kFirstPortButton, kLastPortButton));
    base::Clock& clock = *app.services().clock;
    update::PollingWaits waits(clock);
    DialogUpdateView view(*this, port);
    serial::SerialPortLine line(m_serialPort, port, clock);
    update::UpdateSession session(line, waits, view);

    // A file that can never be flashed whole is refused before the port is touched: a boot
    // loader may erase its flash as soon as it is spoken to.
    const update::Outcome checked = session.CheckPackage(FirmwarePackageToSend());
    if (!checked.ok()) {
        SetDlgItemText(IDC_UPDATE_RESULT, "Firmware update failed");
        MessageBox(TransferFailureMessage(checked, m_strHexFileName) + TransferFailureBody(), title,
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }

    if (!session.OpenPort().ok()) {
        char message[96];
        std::snprintf(message, sizeof message, "Unable to open serial port COM%d               ",
                      port);
        SetDlgItemText(IDC_UPDATE_RESULT, message);
        MessageBox(message, title, MB_OK | MB_ICONEXCLAMATION);
        ReturnPortLoan();
        return;
    }

    const update::Outcome entered = session.EnterBootLoader();
    if (!entered.ok()) {
        // Port closed, result line, message; the port given back and the port buttons enabled
        // only after the user has closed the box.
        m_serialPort.Close();
        const std::string result = EntryFailureResult(entered);
        SetDlgItemText(IDC_UPDATE_RESULT, result);
        MessageBox(result + "               ", title, MB_OK | MB_ICONEXCLAMATION);
        ReturnPortLoan();
        EnablePortButtons();
        return;
    }

    session.SwitchToBootLoaderSpeed();
    OnRunUpdate(0, 0);
    ReturnPortLoan();
}

void CUpdateDlg::OnHandlerException(const std::string& what) {
    if (m_nUpdateFrames > 0) {
        // A handler run inside the update: ending the update here would close the port under
        // the transfer that still runs below. The update's frame ends it.
        if (m_strNestedFailure.empty()) {
            m_strNestedFailure = what;
        }
        return;
    }
    if (!m_bBeginUpdateActive && !m_bUpdateRunning) {
        fw::Dialog::OnHandlerException(what);
        ReportUnraisedFailure();
        return;
    }
    m_bBeginUpdateActive = false;
    ResetAfterUpdate();
    SetUpdateCommandsLocked(false);
    SetDlgItemText(IDC_UPDATE_RESULT, "Firmware update failed");
    MessageBox("The firmware update stopped because of an internal error (" + what +
                   ").     \n\nThe port has been closed. If any of the hex file was sent, the "
                   "firmware in the " DEVICE_NAME " may be incomplete: run the update again.     ",
               "Firmware Update Error", MB_OK | MB_ICONEXCLAMATION);
    ReportUnraisedFailure();
}

void CUpdateDlg::RaiseNestedHandlerFailure() {
    if (!m_strNestedFailure.empty()) {
        // Raised once: the update's frame reports it as the cause of the update's end.
        const std::string what = m_strNestedFailure;
        m_strNestedFailure.clear();
        throw std::runtime_error(what);
    }
}
