// The HEX transfer as the dialog shows it: the session's events in the status lines, its outcome
// in one message box, the remembered port on success, and the clean-up after every outcome.
#include "base/ProductNames.h"
#include "fw/App.h"
#include "serial/SerialPortLine.h"
#include "ui/DialogUpdateView.h"
#include "ui/UpdateDlg.h"
#include "ui/UpdateMessages.h"
#include "update/PollingWaits.h"
#include "update/UpdateSession.h"

update::FirmwarePackage CUpdateDlg::FirmwarePackageToSend() const {
    update::FirmwarePackage package;
    package.hexPath = m_strProgramDir + m_strHexFileName;
    package.files = fw::App::Current()->services().files;
    return package;
}

void CUpdateDlg::ResetAfterUpdate() {
    m_serialPort.Close();
    SetDlgItemText(IDC_UPDATE_RESULT, "");
    EnablePortButtons();
    ReturnPortLoan();
}

void CUpdateDlg::TransferHexFile() {
    fw::App& app = *fw::App::Current();
    fw::WaitCursorScope waitCursor(app);

    if (!CheckFirmwareFile()) {
        // The file vanished since Begin Update looked: nothing was sent. Release the port and
        // the other port buttons rather than leave them held until the dialog closes.
        ResetAfterUpdate();
        return;
    }

    std::string title = "Firmware Update Error";
    const std::string failedResult = "Firmware update failed";
    const std::string failureBody = TransferFailureBody();

    SetDlgItemText(IDC_BOOTLOADER_VERSION, "");
    SetDlgItemText(IDC_ROW_PROGRESS, "");
    SetDlgItemText(IDC_UPDATE_RESULT, "");

    base::Clock& clock = *app.services().clock;
    update::PollingWaits waits(clock);
    const int port = m_serialPort.GetPortNumber();
    DialogUpdateView view(*this, port);
    serial::SerialPortLine line(m_serialPort, port, clock);
    update::UpdateSession session(line, waits, view);
    const update::Outcome outcome = session.Transfer(FirmwarePackageToSend());
    if (!outcome.ok()) {
        ResetAfterUpdate();
        SetDlgItemText(IDC_UPDATE_RESULT, failedResult);
        MessageBox(TransferFailureMessage(outcome, m_strHexFileName) + failureBody, title,
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }

    app.WriteProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, m_serialPort.GetPortNumber());
    ResetAfterUpdate();
    SetDlgItemText(IDC_UPDATE_RESULT, DEVICE_NAME " firmware successfully updated");
    title = "Firmware Update Complete";
    MessageBox("The " DEVICE_NAME " firmware has been successfully updated.     ", title,
               MB_OK | MB_ICONINFORMATION);
}
