// The HEX transfer: identify the boot loader, then stream the file row by row under its handshake.
#include <cstdio>
#include <cstring>

#include "fw/App.h"
#include "fw/TextFile.h"
#include "ui/ContactInfo.h"
#include "ui/UpdateDlg.h"
#include "update/DeviceWait.h"
#include "update/HexRecord.h"

namespace {

const char* const kIdentificationRequest = "#&!KYST-SM35";
const char* const kExpectedVersion = "KYST-SM-2.10";
constexpr std::size_t kVersionLength = 12;
constexpr std::size_t kVersionBufferSize = 100;

constexpr char kCarriageReturn = 0x0D;
constexpr char kReady = '?';
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
constexpr char kLineComplete = '~';
constexpr char kFileComplete = 0x40;

constexpr DWORD kSettleMs = 100;
constexpr DWORD kVersionLimitMs = 3000;
constexpr DWORD kStepLimitMs = 2000;
constexpr int kRepaintEveryRows = 50;

// One awaited character of the handshake and the phrases of its two failures.
struct HandshakeStep {
    char awaited;
    const char* wrongPhrase;
    const char* timeoutPhrase;
};

const HandshakeStep kReadyStep{kReady, "Invalid ready response from the ",
                               "No ready response from the "};
const HandshakeStep kXonStep{kXon, "Invalid XON response from the ",
                             "Timeout waiting for XON character from the "};
const HandshakeStep kXoffStep{kXoff, "Invalid XOFF response from the ",
                              "Timeout waiting for XOFF character from the "};
const HandshakeStep kLineCompleteStep{kLineComplete, "Invalid line complete response from the ",
                                      "Timeout waiting for line complete character from the "};
const HandshakeStep kFileCompleteStep{kFileComplete, "Invalid file complete response from the ",
                                      "Timeout waiting for file complete character from the "};

std::string FailureBody() {
    std::string body;
    body += "\n\n";
    body += "Firmware update terminated.\n";
    body += "\n";
    body += "If some of the hex file was transferred, the firmware in the ";
    body += DEVICE_NAME;
    body += " may be corrupt.     \n";
    body += "\n";
    body += "You should retry the firmware update procedure.\n";
    body += "\n";
    body += "If you continue to have problems, contact Fenmoor Systems for support.\n";
    body += "     Office hours: " CONTACT_HOURS "\n";
    body += "     Phone: " CONTACT_PHONE "\n";
    body += "     Email: " CONTACT_EMAIL "\n";
    body += "     Web: " CONTACT_WEB "\n";
    body += "\n";
    return body;
}

std::string DeviceFailure(const char* phrase) {
    return std::string(phrase) + DEVICE_NAME ".     ";
}

// Ends the wait cursor however the transfer is left.
class WaitCursor {
public:
    explicit WaitCursor(fw::App& app) : m_app(app) { m_app.BeginWaitCursor(); }
    ~WaitCursor() { m_app.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    fw::App& m_app;
};

} // namespace

void CUpdateDlg::ResetAfterUpdate() {
    m_serialPort.Close();
    SetDlgItemText(IDC_UPDATE_RESULT, "");
    EnablePortButtons();
    ReturnPortLoan();
}

void CUpdateDlg::TransferHexFile() {
    fw::App& app = *fw::App::Current();
    fw::Clock& clock = *app.services().clock;
    WaitCursor waitCursor(app);

    if (!CheckFirmwareFile()) {
        // The file vanished since Begin Update looked: nothing was sent. Release the port and
        // the other port buttons rather than leave them held until the dialog closes.
        ResetAfterUpdate();
        return;
    }

    std::string title = "Firmware Update Error";
    const std::string failedResult = "Firmware update failed";
    const std::string failureBody = FailureBody();
    fw::TextFile hexFile;

    // Every failure: file closed, port released, result line, then the message.
    auto fail = [&](const std::string& message) {
        hexFile.Close();
        ResetAfterUpdate();
        SetDlgItemText(IDC_UPDATE_RESULT, failedResult);
        MessageBox(message + failureBody, title, MB_OK | MB_ICONEXCLAMATION);
    };
    // One handshake character; false (after the failure report) when it is wrong or missing.
    auto expect = [&](const HandshakeStep& step, DWORD limitMs) {
        char c = 0;
        const WaitResult result = WaitForCharacter(m_serialPort, clock, limitMs, &c);
        if (result == WaitResult::kCharacter && c == step.awaited) {
            return true;
        }
        fail(
            DeviceFailure(result == WaitResult::kTimedOut ? step.timeoutPhrase : step.wrongPhrase));
        return false;
    };

    SetDlgItemText(IDC_BOOTLOADER_VERSION, "");
    SetDlgItemText(IDC_ROW_PROGRESS, "");
    SetDlgItemText(IDC_UPDATE_RESULT, "");

    PauseFor(clock, kSettleMs);
    m_serialPort.PurgeInput();
    m_serialPort.WriteString(kIdentificationRequest);

    // The version reply: everything up to a carriage return, within 3000 ms in all.
    char version[kVersionBufferSize + 1] = {};
    std::size_t count = 0;
    const DWORD versionStart = clock.getTickCount();
    for (;;) {
        if (fw::TicksSince(clock, versionStart) >= kVersionLimitMs) {
            fail(DeviceFailure("No response from the "));
            return;
        }
        if (m_serialPort.BytesWaiting() == 0) {
            continue;
        }
        char c = 0;
        if (m_serialPort.Read(&c, 1) != 1) {
            fail(DeviceFailure("Invalid version response from the "));
            return;
        }
        if (c == kCarriageReturn) {
            break;
        }
        if (count < kVersionBufferSize) {
            version[count] = c;
        }
        count++; // keeps counting past the buffer, so an overlong reply is still refused
    }
    if (count != kVersionLength || std::memcmp(version, kExpectedVersion, kVersionLength) != 0) {
        fail(DeviceFailure("Invalid version response from the "));
        return;
    }
    version[kVersionLength] = 0;
    SetDlgItemText(IDC_BOOTLOADER_VERSION, std::string("Boot loader version  =  ") + version);

    if (!expect(kReadyStep, kStepLimitMs)) {
        return;
    }

    if (!hexFile.Open(m_strProgramDir + m_strHexFileName)) {
        fail("Unable to open the hex file " + m_strHexFileName + "     ");
        return;
    }

    // Count the rows and check every one of them before the first is sent, so that a damaged
    // file never leaves the device half-programmed.
    m_nRowCount = 0;
    bool allRowsValid = true;
    std::string row;
    intelhex::HexRecord record;
    while (hexFile.ReadString(row)) {
        m_nRowCount++;
        if (allRowsValid && !intelhex::ParseHexRecord(row, &record)) {
            allRowsValid = false;
        }
    }
    if (!allRowsValid) {
        fail("Invalid data in hex file.     ");
        return;
    }
    hexFile.SeekToBegin();
    int rowNumber = 0;

    for (;;) {
        if (!expect(kXonStep, kStepLimitMs)) {
            return;
        }
        if (!hexFile.ReadString(row)) {
            fail("Unable to read the firmware hex file.     ");
            return;
        }
        if (row.empty() || row[0] != ':') {
            fail("Invalid data in hex file.     ");
            return;
        }
        m_serialPort.WriteString(row.c_str());
        rowNumber++;

        if (rowNumber == m_nRowCount || rowNumber % 2 == 0) {
            char progress[96];
            std::snprintf(progress, sizeof progress, "Sending hex file row  %d  of  %d", rowNumber,
                          m_nRowCount);
            SetDlgItemText(IDC_ROW_PROGRESS, progress);
            if (rowNumber % kRepaintEveryRows == 0) {
                InvalidateRect(FALSE);
                UpdateWindow();
            }
            // The posted paint makes sure the one blocking retrieval returns.
            PostMessage(WM_PAINT, 0, 0);
            app.PumpMessage();
        }
        if (rowNumber == m_nRowCount) {
            hexFile.Close();
            break;
        }
        if (!expect(kXoffStep, kStepLimitMs) || !expect(kLineCompleteStep, kStepLimitMs)) {
            return;
        }
    }

    if (!expect(kFileCompleteStep, kStepLimitMs)) {
        return;
    }

    app.WriteProfileInt("Settings", "ComPort", m_serialPort.GetPortNumber());
    ResetAfterUpdate();
    SetDlgItemText(IDC_UPDATE_RESULT, DEVICE_NAME " firmware successfully updated");
    title = "Firmware Update Complete";
    MessageBox("The " DEVICE_NAME " firmware has been successfully updated.     ", title,
               MB_OK | MB_ICONINFORMATION);
}
