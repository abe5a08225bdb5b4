// Begin Update: open the chosen port, bring the device from its application firmware into its
// boot loader, switch to the boot loader's speed and run the update.
#include <cstdio>
#include <cstring>

#include "fw/App.h"
#include "ui/UpdateDlg.h"

namespace {

const char* const kIdentityCommand = "<V";
const char* const kRestartCommand = "<W";
const char* const kIdentityPrefix = "\rKYST-SM-00,";
constexpr std::size_t kIdentityPrefixLength = 12;
constexpr std::size_t kIdentityReplyLength = 18;
constexpr std::size_t kIdentityBufferSize = 25;
constexpr DWORD kEntryLimitMs = 2000;
constexpr int kPortCount = 12;

// The device's answer to "<V" within the limit: true when its 18th character completes a reply
// that begins with the identity prefix. Later characters are read but play no part.
bool ReadIdentity(CSerialPort& port, fw::Clock& clock) {
    char reply[kIdentityBufferSize] = {};
    std::size_t count = 0;
    const DWORD start = clock.getTickCount();
    while (fw::TicksSince(clock, start) < kEntryLimitMs) {
        if (port.BytesWaiting() == 0) {
            continue;
        }
        char c = 0;
        port.Read(&c, 1);
        if (count < kIdentityBufferSize) {
            reply[count] = c;
        }
        count++;
        if (count == kIdentityReplyLength &&
            std::memcmp(reply, kIdentityPrefix, kIdentityPrefixLength) == 0) {
            return true;
        }
    }
    return false;
}

// True when the device drops DSR within the limit: it has restarted into its boot loader.
// A status read that fails counts as DSR still on.
bool WaitForDsrDrop(CSerialPort& port, fw::Clock& clock) {
    const DWORD start = clock.getTickCount();
    while (fw::TicksSince(clock, start) < kEntryLimitMs) {
        DWORD status = 0;
        if (port.GetModemStatus(&status) && (status & MS_DSR_ON) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

void CUpdateDlg::OnBeginUpdate() {
    fw::App& app = *fw::App::Current();
    fw::Clock& clock = *app.services().clock;
    app.BeginWaitCursor();

    if (!CheckFirmwareFile()) {
        app.EndWaitCursor();
        return;
    }

    SetDlgItemText(IDC_BOOTLOADER_VERSION, "");
    SetDlgItemText(IDC_ROW_PROGRESS, "");
    SetDlgItemText(IDC_UPDATE_RESULT, "");
    const std::string title = "Firmware Update Error";

    const int port = GetCheckedRadioButton(IDC_COM1, IDC_COM12) - 2000;

    if (!m_serialPort.Open(port, 9600, 'N', 8, 1)) {
        RequestPortLoan(port);
        if (!m_serialPort.Open(port, 9600, 'N', 8, 1)) {
            char message[96];
            std::snprintf(message, sizeof message,
                          "Unable to open serial port COM%d               ", port);
            SetDlgItemText(IDC_UPDATE_RESULT, message);
            MessageBox(message, title, MB_OK | MB_ICONEXCLAMATION);
            ReturnPortLoan();
            app.EndWaitCursor();
            return;
        }
    }

    for (int n = 1; n <= kPortCount; ++n) {
        if (n != port) {
            EnableDlgItem(IDC_COM1 - 1 + n, FALSE);
        }
    }

    // Reports a failure of the entry: port closed, result line, message, then the port given
    // back and the port buttons enabled after the user has closed the box.
    auto fail = [&](const char* phrase) {
        m_serialPort.Close();
        const std::string result = std::string(phrase) + DEVICE_NAME + ".";
        SetDlgItemText(IDC_UPDATE_RESULT, result);
        MessageBox(result + "               ", title, MB_OK | MB_ICONEXCLAMATION);
        ReturnPortLoan();
        EnablePortButtons();
        app.EndWaitCursor();
    };

    DWORD status = 0;
    m_serialPort.GetModemStatus(&status);
    if ((status & MS_DSR_ON) != 0) {
        // DSR on: the application firmware runs. Ask its identity, then restart it.
        m_serialPort.WriteString(kIdentityCommand);
        if (!ReadIdentity(m_serialPort, clock)) {
            fail("Cannot find a ");
            return;
        }
        m_serialPort.WriteString(kRestartCommand);
        if (!WaitForDsrDrop(m_serialPort, clock)) {
            fail("Invalid response from the ");
            return;
        }
    }

    m_serialPort.Reconfigure(115200, 'N', '8');
    OnRunUpdate(0, 0);
    ReturnPortLoan();
    app.EndWaitCursor();
}
