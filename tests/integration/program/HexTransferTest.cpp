// The HEX transfer against the simulated boot loader: the exchange, progress, every failure and
// the dialog's state at each message box.
#include <gtest/gtest.h>

#include "support/SimHarness.h"

namespace {

const std::string kFailureTail = "Keystrand SM.     \n\nFirmware update terminated.\n";
const std::string kSuccessText = "The Keystrand SM firmware has been successfully updated.     ";

// Runs a whole update on the boot-loader road and gives back the one message box.
BoxSnapshot UpdateOnce(SimHarness& s) {
    s.beginUpdate();
    EXPECT_EQ(s.boxes.size(), 1u);
    return s.boxes.empty() ? BoxSnapshot{} : s.boxes[0];
}

// When the device first logged an entry of the kind that begins with the text.
sim::Micros TimeOf(const SimHarness& s, sim::LogKind kind, const std::string& start) {
    for (const sim::LogEntry& e : s.device.log().entries()) {
        if (e.kind == kind && e.text.rfind(start, 0) == 0) {
            return e.time;
        }
    }
    ADD_FAILURE() << "never logged: " << start;
    return 0;
}

void ExpectSucceeded(SimHarness& s, const BoxSnapshot& box) {
    EXPECT_EQ(box.box.text, kSuccessText);
    EXPECT_EQ(box.box.caption, "Firmware Update Complete");
    EXPECT_EQ(box.box.type, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(box.result, "Keystrand SM firmware successfully updated");
    EXPECT_FALSE(box.portOpen) << "the port is closed before the message";
    EXPECT_TRUE(s.device.fileComplete());
    EXPECT_TRUE(s.imageMatchesFile());
    EXPECT_EQ(s.h.profile.getProfileInt("Settings", "ComPort", -1), 3);
}

void ExpectFailedWith(SimHarness& s, const BoxSnapshot& box, const std::string& start) {
    EXPECT_EQ(box.box.text.rfind(start, 0), 0u) << box.box.text;
    EXPECT_NE(box.box.text.find(
                  "\n\nFirmware update terminated.\n\nIf some of the hex file was transferred, "
                  "the firmware in the Keystrand SM may be corrupt.     \n\nYou should retry "
                  "the firmware update procedure.\n\nIf you continue to have problems, contact "
                  "Fenmoor Systems for support.\n     Office hours: "),
              std::string::npos)
        << box.box.text;
    EXPECT_EQ(box.box.text.back(), '\n');
    EXPECT_EQ(box.box.caption, "Firmware Update Error");
    EXPECT_EQ(box.box.type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(box.result, "Firmware update failed");
    EXPECT_FALSE(box.portOpen);
    EXPECT_EQ(box.enabledPorts, (std::vector<int>{3, 7})) << "port buttons enabled again";
    EXPECT_FALSE(s.comm.isOpen());
    EXPECT_FALSE(s.h.profile.has("Settings", "ComPort")) << "the remembered port is left alone";
}

TEST(HexTransfer, TwoRowsFollowTheExchangeInItsExactOrder) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(1));
    const BoxSnapshot box = UpdateOnce(s);
    ExpectSucceeded(s, box);
    EXPECT_EQ(box.bootLoaderLine, "Boot loader version  =  KYST-SM-2.10");
    EXPECT_EQ(box.progressLine, "Sending hex file row  2  of  2");
    const std::string rows = MakeHexFile(1);
    const std::string row1 = rows.substr(0, rows.find("\r\n"));
    EXPECT_EQ(s.device.log().received(), "#&!KYST-SM35" + row1 + ":00000001FF");
    EXPECT_EQ(s.device.log().sent(), std::string("KYST-SM-2.10\r?\x11") + "\x13~\x11@");
    EXPECT_EQ(s.comm.baudHistory().back(), 115200u);
    // The boot loader is left 100 ms at its speed before it is asked; the busy loop of the pause
    // reads the virtual clock once a millisecond.
    const sim::Micros switched = TimeOf(s, sim::LogKind::Event, "line set to 115200 baud");
    const sim::Micros asked = TimeOf(s, sim::LogKind::Received, "#&!KYST-SM35");
    EXPECT_GE(asked - switched, 100000u);
    EXPECT_LT(asked - switched, 102000u);
}

TEST(HexTransfer, OneRowNeedsNoXoffOrLineComplete) {
    SimHarness s(BootLoaderWith());
    s.writePackage(":00000001FF\r\n");
    const BoxSnapshot box = UpdateOnce(s);
    ExpectSucceeded(s, box);
    EXPECT_EQ(box.progressLine, "Sending hex file row  1  of  1");
    EXPECT_EQ(s.device.log().sent(), "KYST-SM-2.10\r?\x11@");
}

TEST(HexTransfer, SevenRowsShowProgressAfterRowsTwoFourSixAndSeven) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(6));
    std::vector<std::string> shown;
    s.h.ui.onPump = [&] { shown.push_back(s.h.app.m_pMainWnd->GetDlgItemText(IDC_ROW_PROGRESS)); };
    ExpectSucceeded(s, UpdateOnce(s));
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Sending hex file row  2  of  7", "Sending hex file row  4  of  7",
                         "Sending hex file row  6  of  7", "Sending hex file row  7  of  7"}));
}

TEST(HexTransfer, AHundredRowsRepaintTheWholeDialogAtFiftyAndAHundred) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(99));
    int invalidations = -1;
    int pumps = 0;
    s.h.ui.onPump = [&] { pumps++; };
    s.beginUpdate(nullptr,
                  [&](CUpdateDlg&, fw::host::DialogModel& w) { invalidations = w.invalidations; });
    ASSERT_EQ(s.boxes.size(), 1u);
    ExpectSucceeded(s, s.boxes[0]);
    EXPECT_EQ(invalidations, 2);
    EXPECT_EQ(pumps, 50) << "one pumped message per progress update";
    EXPECT_EQ(s.device.rowsAccepted(), 100);
}

TEST(HexTransfer, ALargeImageArrivesWhole) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(2048, 7));
    ExpectSucceeded(s, UpdateOnce(s));
}

struct DeviceFailure {
    const char* fault;
    const char* phrase;
};

TEST(HexTransfer, EachDeviceFailureHasItsOwnPhrase) {
    const DeviceFailure failures[] = {
        {"version:reply=KYST-SM-2.11\\r", "Invalid version response from the "},
        {"version:none", "No response from the "},
        {"ready:wrong=!", "Invalid ready response from the "},
        {"ready:dead", "No ready response from the "},
        {"xon@row=3:wrong=A", "Invalid XON response from the "},
        {"xon@row=3:none", "Timeout waiting for XON character from the "},
        {"xoff@row=2:wrong=B", "Invalid XOFF response from the "},
        {"xoff@row=2:dead", "Timeout waiting for XOFF character from the "},
        {"line-complete@row=4:wrong=C", "Invalid line complete response from the "},
        {"line-complete@row=4:dead", "Timeout waiting for line complete character from the "},
        {"file-complete:wrong=D", "Invalid file complete response from the "},
        {"file-complete:none", "Timeout waiting for file complete character from the "},
    };
    for (const DeviceFailure& f : failures) {
        SCOPED_TRACE(f.fault);
        SimHarness s(BootLoaderWith({f.fault}));
        s.writePackage(MakeHexFile(6));
        const BoxSnapshot box = UpdateOnce(s);
        ExpectFailedWith(s, box, std::string(f.phrase) + kFailureTail.substr(0, 14));
        EXPECT_EQ(box.box.text.rfind(std::string(f.phrase) + "Keystrand SM.     \n\n", 0), 0u);
    }
}

TEST(HexTransfer, OnlyAVersionReplyOfExactlyTheTwelveCharactersIsAccepted) {
    for (const char* reply :
         {"KYST-SM-2.1\\r", "KYST-SM-2.100\\r", "kYST-SM-2.10\\r", "KYST-SM-2.10 \\r", "\\r",
          "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
          "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxKYST-SM-2.10\\r"}) {
        SCOPED_TRACE(reply);
        SimHarness s(BootLoaderWith({(std::string("version:reply=") + reply).c_str()}));
        s.writePackage(MakeHexFile(2));
        ExpectFailedWith(s, UpdateOnce(s), "Invalid version response from the Keystrand SM.     ");
        EXPECT_EQ(s.device.rowsAccepted(), 0);
    }
}

TEST(HexTransfer, ALineFeedAfterTheVersionFailsAsTheReadyCharacter) {
    SimHarness s(BootLoaderWith({"version:extra-lf"}));
    s.writePackage(MakeHexFile(2));
    const BoxSnapshot box = UpdateOnce(s);
    ExpectFailedWith(s, box, "Invalid ready response from the Keystrand SM.     ");
    EXPECT_EQ(box.bootLoaderLine, "Boot loader version  =  KYST-SM-2.10");
}

TEST(HexTransfer, CharactersBeforeTheIdentificationRequestArePurged) {
    SimHarness s(BootLoaderWith({"banner:reply=KYST-SM-9.99\\r?"}));
    s.writePackage(MakeHexFile(3));
    ExpectSucceeded(s, UpdateOnce(s));
}

TEST(HexTransfer, AHexFileThatCannotBeOpenedAfterTheReadyCharacter) {
    SimHarness s(BootLoaderWith({"ready:delay=50"}));
    s.writePackage(MakeHexFile(2));
    // The file disappears once the boot loader has been identified.
    s.device.log().setListener([&](const sim::LogEntry& e) {
        if (e.kind == sim::LogKind::Sent && e.text.find('?') != std::string::npos) {
            s.h.folder.remove("upd.hex");
        }
    });
    const BoxSnapshot box = UpdateOnce(s);
    ExpectFailedWith(s, box,
                     "Unable to open the hex file upd.hex     \n\nFirmware update terminated.");
    EXPECT_EQ(s.device.rowsAccepted(), 0);
}

TEST(HexTransfer, AHexFileGoneBeforeTheTransfersOwnCheckReleasesThePortAndTheLoan) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(2));
    const BorrowedPort loan(s);
    // Begin Update's checks have passed once the line opens; the transfer's own check fails.
    s.device.log().setListener([&](const sim::LogEntry& e) {
        if (e.kind == sim::LogKind::Event && e.text.rfind("line opened", 0) == 0) {
            s.h.folder.remove("upd.hex");
        }
    });
    std::vector<int> enabledPorts;
    int loanPort = 0;
    bool portOpen = true;
    s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        portOpen = s.comm.isOpen();
        for (int n = kFirstComPort; n <= kLastComPort; ++n) {
            if (d.IsDlgItemEnabled(PortButtonId(n))) {
                enabledPorts.push_back(n);
            }
        }
        loanPort = d.m_nLoanPort;
    });
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].box.text, "Unable to open the firmware hex file:     \n     upd.hex     ");
    EXPECT_EQ(s.device.log().received(), "") << "nothing was sent";
    EXPECT_FALSE(portOpen) << "closed by the update, not only when the dialog closes";
    EXPECT_EQ(enabledPorts, (std::vector<int>{3, 7}));
    EXPECT_EQ(loanPort, -1);
    loan.expectGivenBackOnceClosed();
}

TEST(HexTransfer, ATickCounterThatWrapsDuringAWaitChangesNothing) {
    SimHarness s(BootLoaderWith({"version:delay=1500", "xoff@row=2:delay=1900"}));
    s.h.clock.advance(0xFFFFFFFFu - 1200); // the counter wraps inside the version wait
    s.writePackage(MakeHexFile(3));
    ExpectSucceeded(s, UpdateOnce(s));

    SimHarness late(BootLoaderWith({"ready:dead"}));
    late.h.clock.advance(0xFFFFFFFFu - 1000);
    late.writePackage(MakeHexFile(3));
    const DWORD before = late.h.clock.now();
    ExpectFailedWith(late, UpdateOnce(late), "No ready response from the Keystrand SM.     ");
    EXPECT_LT(static_cast<DWORD>(late.h.clock.now() - before), 10000u)
        << "the wait ended at its limit";
}

TEST(HexTransfer, WaitsEndJustAtTheirLimits) {
    SimHarness inside(BootLoaderWith({"xon@row=2:delay=1990"}));
    inside.writePackage(MakeHexFile(3));
    ExpectSucceeded(inside, UpdateOnce(inside));

    SimHarness outside(BootLoaderWith({"xon@row=2:delay=2010"}));
    outside.writePackage(MakeHexFile(3));
    ExpectFailedWith(outside, UpdateOnce(outside),
                     "Timeout waiting for XON character from the Keystrand SM.");

    // Reading the 13 characters of the reply costs a poll each on the virtual clock.
    SimHarness versionInside(BootLoaderWith({"version:delay=2980"}));
    versionInside.writePackage(MakeHexFile(1));
    ExpectSucceeded(versionInside, UpdateOnce(versionInside));

    SimHarness versionOutside(BootLoaderWith({"version:delay=3010"}));
    versionOutside.writePackage(MakeHexFile(1));
    ExpectFailedWith(versionOutside, UpdateOnce(versionOutside),
                     "No response from the Keystrand SM.");
}

TEST(HexTransfer, TheLineGoingDeadInTheMiddleOfTheRowsIsReported) {
    SimHarness s(BootLoaderWith({"row=40:dead"}));
    s.writePackage(MakeHexFile(80));
    const BoxSnapshot box = UpdateOnce(s);
    ExpectFailedWith(s, box, "Timeout waiting for XOFF character from the Keystrand SM.");
    EXPECT_EQ(box.progressLine, "Sending hex file row  40  of  81");
    EXPECT_FALSE(s.device.fileComplete());
}

TEST(HexTransfer, AfterEveryOutcomeTheFourCommandsAreEnabledAgain) {
    for (const char* fault : {"xoff@row=1:none", "file-complete:wrong=X", ""}) {
        SimHarness s(BootLoaderWith(*fault != 0 ? std::initializer_list<const char*>{fault}
                                                : std::initializer_list<const char*>{}));
        s.writePackage(MakeHexFile(2));
        s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
            for (int id : {IDC_BEGIN_UPDATE, IDCANCEL, IDC_REFRESH_PORTS, IDC_CONTACT_INFO}) {
                EXPECT_TRUE(d.IsDlgItemEnabled(id)) << fault << " " << id;
            }
            EXPECT_EQ(d.GetDlgItemText(IDC_BEGIN_UPDATE), "Begin Update");
            for (const auto& item : w.systemMenu) {
                EXPECT_TRUE(item.separator || item.enabled || item.id == 0xF120) << item.text;
            }
            EXPECT_EQ(s.h.ui.waitCursorDepth(), 0);
        });
        ASSERT_EQ(s.boxes.size(), 1u);
        EXPECT_FALSE(s.boxes[0].beginEnabled) << "locked while the message is up";
        EXPECT_EQ(s.boxes[0].enabledCommands, std::vector<int>{})
            << "Done, Refresh Serial Ports and Contact Info too";
    }
}

} // namespace
