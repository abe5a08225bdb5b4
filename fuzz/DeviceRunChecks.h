// Checks of an update run whose device replies come from fuzz input, and of the dialog it leaves.
#pragma once
#include <string>
#include <vector>

#include "ScriptedLine.h"
#include "base/ProductNames.h"
#include "support/LineComm.h"
#include "support/ProgramHarness.h"
#include "ui/PortButtons.h"

namespace fuzzing {

// A small HEX file of three valid rows: an address record, sixteen data bytes, end of file.
inline const std::vector<std::string>& HexRows() {
    static const std::vector<std::string> rows = {
        ":020000040000FA",
        ":10010000000102030405060708090A0B0C0D0E0F77",
        ":00000001FF",
    };
    return rows;
}

constexpr const char* kIdentificationRequest = "#&!KYST-SM35";
constexpr const char* kIdentityPrefix = "\rKYST-SM-00,";
constexpr std::size_t kIdentityLength = 18;

// Everything a boot loader sends for HexRows(), from its version reply to the at sign.
inline std::string BootLoaderExchange() {
    std::string s = "KYST-SM-2.10\r?";
    for (std::size_t i = 0; i < HexRows().size(); ++i) {
        s += '\x11';
        s += i + 1 < HexRows().size() ? "\x13~" : "@";
    }
    return s;
}

// What the program may ever send to the boot loader, in order.
inline std::string BootLoaderTraffic() {
    std::string s = kIdentificationRequest;
    for (const std::string& row : HexRows()) {
        s += row;
    }
    return s;
}

struct RunRecord {
    std::vector<fw::host::MessageBoxRecord> boxes;
    std::string problems; // invariants broken while the run went on or right after it
    std::string result;   // the result status line after the run
    int rememberedPort = -1;
};

// Opens the main dialog with COM1 present and a usable package, clicks Begin Update once on
// `line` (the dialog's port calls served by it), and checks the state every run must leave
// behind: the port closed, the wait cursor ended, the four commands and the present port button
// enabled, the absent ones disabled. Every update message box must come with the port already
// closed.
inline RunRecord RunOneUpdate(ScriptedLine& line) {
    RunRecord record;
    LineComm comm(line);
    ProgramHarness h(&comm);
    h.portMap.add("\\Device\\Serial0", "COM1");
    std::string hex;
    for (const std::string& row : HexRows()) {
        hex += row + "\r\n";
    }
    h.writePackage("2.10", "upd.hex", hex);
    auto note = [&](const std::string& what) { record.problems += what + "; "; };
    h.ui.onMessageBox = [&](const fw::host::MessageBoxRecord& box) {
        if (line.isOpen()) {
            note("port still open at the message " + box.caption);
        }
    };
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        if (!d.IsDlgItemEnabled(IDC_BEGIN_UPDATE)) {
            note("Begin Update disabled before the run");
            return;
        }
        w.click(IDC_BEGIN_UPDATE);
        if (line.isOpen()) {
            note("port left open");
        }
        if (h.ui.waitCursorDepth() != 0) {
            note("wait cursor depth " + std::to_string(h.ui.waitCursorDepth()));
        }
        if (d.UpdateInProgress()) {
            note("update still marked as running");
        }
        const struct {
            int id;
            const char* name;
        } commands[] = {{IDC_BEGIN_UPDATE, "Begin Update"},
                        {IDCANCEL, "Done"},
                        {IDC_REFRESH_PORTS, "Refresh Serial Ports"},
                        {IDC_CONTACT_INFO, "Contact Info"}};
        for (const auto& c : commands) {
            if (!d.IsDlgItemEnabled(c.id)) {
                note(std::string(c.name) + " left disabled");
            }
        }
        for (int n = kFirstComPort; n <= kLastComPort; ++n) {
            if ((d.IsDlgItemEnabled(PortButtonId(n)) != FALSE) != (n == 1)) {
                note("port button COM" + std::to_string(n) + " not enabled by presence");
            }
        }
        record.result = d.GetDlgItemText(IDC_UPDATE_RESULT);
    });
    const int closedCalls = line.callsWhileClosed() + comm.badHandleCalls();
    if (closedCalls != 0) {
        note(std::to_string(closedCalls) + " port calls on a closed handle");
    }
    if (line.opens() != 1 || line.closes() != 1) {
        note("port opened " + std::to_string(line.opens()) + " times, closed " +
             std::to_string(line.closes()) + " times");
    }
    record.boxes = h.ui.messageBoxes();
    record.rememberedPort = h.profile.getProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, -1);
    return record;
}

inline bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The one outcome message of a run and the state that goes with it: success only when
// `shouldSucceed`, else a failure whose text begins with `failurePrefix` (when given).
inline std::string CheckOutcome(const RunRecord& run, bool shouldSucceed,
                                const std::string& failurePrefix) {
    std::string problems = run.problems;
    if (run.boxes.size() != 1) {
        return problems + std::to_string(run.boxes.size()) + " message boxes, expected one";
    }
    const fw::host::MessageBoxRecord& box = run.boxes[0];
    const bool succeeded = box.caption == "Firmware Update Complete";
    if (succeeded != shouldSucceed) {
        return problems + (succeeded ? "success reported for a wrong exchange"
                                     : "failure reported for the right exchange: " + box.text);
    }
    if (succeeded) {
        if (box.type != (MB_OK | MB_ICONINFORMATION) ||
            box.text != "The Keystrand SM firmware has been successfully updated.     ") {
            problems += "success message differs; ";
        }
        if (run.result != "Keystrand SM firmware successfully updated") {
            problems += "result line after success: " + run.result + "; ";
        }
        if (run.rememberedPort != 1) {
            problems += "port not remembered after success; ";
        }
        return problems;
    }
    if (box.caption != "Firmware Update Error" || box.type != (MB_OK | MB_ICONEXCLAMATION)) {
        problems += "failure box caption or icon differs: " + box.caption + "; ";
    }
    if (!failurePrefix.empty() && !StartsWith(box.text, failurePrefix)) {
        problems +=
            "failure message " + box.text.substr(0, 60) + ", expected " + failurePrefix + "; ";
    }
    if (run.rememberedPort != -1) {
        problems += "port remembered after a failure; ";
    }
    return problems;
}

// The device is in its boot loader (DSR off); `bytes` is everything it sends after the
// identification request. The update succeeds exactly when they begin with the right exchange.
inline std::string CheckBootLoaderReply(const std::string& bytes) {
    ScriptedLine line;
    line.setDsr(false);
    line.onWrite(kIdentificationRequest, bytes);
    const RunRecord run = RunOneUpdate(line);
    const bool right = StartsWith(bytes, BootLoaderExchange());
    std::string problems = CheckOutcome(run, right, "");
    const std::string traffic = BootLoaderTraffic();
    if (!StartsWith(traffic, line.written())) {
        problems += "sent what the boot loader never asks for; ";
    }
    if (right && line.written() != traffic) {
        problems += "a successful run did not send the whole file; ";
    }
    return problems;
}

// The device runs its application firmware (DSR on). The first byte is the device's script:
// bit 0, it drops DSR when told "<W"; bit 1, its boot loader then answers the identification
// request with the right exchange. The remaining bytes are the identity reply to "<V" and
// whatever follows it. The update succeeds exactly when the reply's 18th character completes
// one that begins with the identity prefix, DSR drops and the boot loader answers right.
inline std::string CheckIdentityReply(const std::string& bytes) {
    if (bytes.empty()) {
        return "";
    }
    const unsigned script = static_cast<unsigned char>(bytes[0]);
    const bool dropsDsr = (script & 1) != 0;
    const bool bootLoaderAnswers = (script & 2) != 0;
    const std::string reply = bytes.substr(1);

    ScriptedLine line;
    line.setDsr(true);
    line.onWrite("<V", reply);
    line.onWrite("<W", "", dropsDsr);
    line.onWrite(kIdentificationRequest, bootLoaderAnswers ? BootLoaderExchange() : "");
    const RunRecord run = RunOneUpdate(line);

    const bool identified = reply.size() >= kIdentityLength && StartsWith(reply, kIdentityPrefix);
    std::string failure;
    if (!identified) {
        failure = "Cannot find a Keystrand SM.               ";
    } else if (!dropsDsr) {
        failure = "Invalid response from the Keystrand SM.               ";
    } else {
        failure = "No response from the Keystrand SM.     ";
    }
    std::string problems = CheckOutcome(run, identified && dropsDsr && bootLoaderAnswers, failure);
    if (!identified || !dropsDsr) {
        if (!run.boxes.empty() && run.boxes[0].text != failure) {
            problems += "entry failure message differs; ";
        }
    }
    std::string expectedSent = "<V";
    if (identified) {
        expectedSent += "<W";
    }
    if (identified && dropsDsr) {
        if (!StartsWith(line.written(), expectedSent) ||
            !StartsWith(BootLoaderTraffic(), line.written().substr(expectedSent.size()))) {
            problems += "sent what the device never asks for; ";
        }
    } else if (line.written() != expectedSent) {
        problems += "sent " + std::to_string(line.written().size()) + " bytes, expected " +
                    expectedSent + "; ";
    }
    return problems;
}

} // namespace fuzzing
