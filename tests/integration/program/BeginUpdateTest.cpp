// Begin Update end to end: the application firmware talked into its boot loader, the port loan,
// the entry's failures, and the dialog locked while the firmware is written.
#include <gtest/gtest.h>

#include "support/SimHarness.h"
#include "ui/PortLoan.h"

namespace {

sim::DeviceConfig ApplicationWith(std::initializer_list<const char*> faults = {}) {
    return DeviceWith(sim::Mode::ApplicationFirmware, faults);
}

void ExpectEverythingReleased(SimHarness& s) {
    EXPECT_FALSE(s.comm.isOpen());
    CUpdateDlg* dlg = static_cast<CUpdateDlg*>(s.h.app.m_pMainWnd);
    (void)dlg;
    EXPECT_EQ(s.h.ui.waitCursorDepth(), 0);
}

// The state once Begin Update has returned.
struct After {
    std::vector<int> enabledPorts;
    bool commandsEnabled = false;
    int loanPort = 0;
    std::string result;
};

After RunAndLook(SimHarness& s,
                 const std::function<void(CUpdateDlg&, fw::host::DialogModel&)>& before = nullptr) {
    After a;
    s.beginUpdate(before, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        for (int n = 1; n <= 12; ++n) {
            if (d.IsDlgItemEnabled(2000 + n)) {
                a.enabledPorts.push_back(n);
            }
        }
        a.commandsEnabled = true;
        for (int id : {IDC_BEGIN_UPDATE, IDCANCEL, IDC_REFRESH_PORTS, IDC_CONTACT_INFO}) {
            a.commandsEnabled = a.commandsEnabled && d.IsDlgItemEnabled(id);
        }
        a.loanPort = d.m_nLoanPort;
        a.result = d.GetDlgItemText(IDC_UPDATE_RESULT);
    });
    ExpectEverythingReleased(s);
    return a;
}

TEST(BeginUpdate, TalksTheApplicationFirmwareIntoItsBootLoaderAndUpdates) {
    SimHarness s(ApplicationWith());
    s.writePackage(MakeHexFile(10));
    struct TextSet {
        int id;
        std::string text;
        int opens; // how often the port had been opened by then
    };
    std::vector<TextSet> texts;
    const After a = RunAndLook(s, [&](CUpdateDlg&, fw::host::DialogModel&) {
        s.h.ui.onItemText = [&](HWND, int id, const std::string& text) {
            if (id == IDC_BOOTLOADER_VERSION || id == IDC_ROW_PROGRESS || id == IDC_UPDATE_RESULT) {
                texts.push_back({id, text, s.comm.openCount()});
            }
        };
    });
    // Of the three status lines, Begin Update first clears the boot-loader version, the row
    // progress and the result, in that order, before the port is opened.
    ASSERT_GE(texts.size(), 3u);
    const int cleared[] = {IDC_BOOTLOADER_VERSION, IDC_ROW_PROGRESS, IDC_UPDATE_RESULT};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(texts[i].id, cleared[i]) << i;
        EXPECT_EQ(texts[i].text, "") << i;
        EXPECT_EQ(texts[i].opens, 0) << i;
    }
    // Every wait busy-polls the tick counter, the DSR polling after "<W" included: no sleep.
    EXPECT_EQ(s.h.clock.sleeps(), 0);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete");
    EXPECT_TRUE(s.imageMatchesFile());
    EXPECT_EQ(s.device.log().received().substr(0, 4), "<V<W");
    EXPECT_EQ(s.comm.baudHistory().front(), 9600u);
    EXPECT_EQ(s.comm.baudHistory().back(), 115200u);
    EXPECT_EQ(a.enabledPorts, (std::vector<int>{3, 7}));
    EXPECT_TRUE(a.commandsEnabled);
    EXPECT_EQ(a.result, "Keystrand SM firmware successfully updated");
}

TEST(BeginUpdate, ADeviceAlreadyInItsBootLoaderGetsNeitherCommand) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(2));
    RunAndLook(s);
    EXPECT_EQ(s.device.log().received().find('<'), std::string::npos);
    EXPECT_EQ(s.boxes.at(0).box.caption, "Firmware Update Complete");
}

TEST(BeginUpdate, TheOtherElevenPortButtonsAreDisabledWhileTheUpdateRuns) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(4));
    std::vector<int> duringUpdate;
    s.h.ui.onPump = [&] {
        duringUpdate.clear();
        for (int n = 1; n <= 12; ++n) {
            if (s.h.app.m_pMainWnd->IsDlgItemEnabled(2000 + n)) {
                duringUpdate.push_back(n);
            }
        }
    };
    const After a = RunAndLook(s);
    EXPECT_EQ(duringUpdate, std::vector<int>{3});
    EXPECT_EQ(a.enabledPorts, (std::vector<int>{3, 7}));
}

void ExpectEntryFailure(SimHarness& s, const After& a, const std::string& result) {
    ASSERT_EQ(s.boxes.size(), 1u);
    const BoxSnapshot& box = s.boxes[0];
    EXPECT_EQ(box.result, result);
    EXPECT_EQ(box.box.text, result + "               ");
    EXPECT_EQ(box.box.caption, "Firmware Update Error");
    EXPECT_EQ(box.box.type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_FALSE(box.portOpen) << "the port is closed before the message";
    EXPECT_EQ(box.enabledPorts, std::vector<int>{3}) << "port buttons come back after the box";
    EXPECT_EQ(a.enabledPorts, (std::vector<int>{3, 7}));
    EXPECT_TRUE(a.commandsEnabled);
    EXPECT_EQ(a.result, result);
    EXPECT_EQ(s.device.log().received().find('#'), std::string::npos) << "no transfer was tried";
}

TEST(BeginUpdate, IdentityRepliesThatNeverCompleteTheCheckFailAfterTwoSeconds) {
    for (const char* fault :
         {"identity:reply=\\rKYST-SM-00,12345",                      // 17 characters
          "identity:reply=\\rKYST-SM-01,123456\\rKYST-SM-00,123456", // wrong first
          "identity:reply=XKYST-SM-00,123456", "identity:none"}) {
        SCOPED_TRACE(fault);
        SimHarness s(ApplicationWith({fault}));
        s.writePackage(MakeHexFile(2));
        const DWORD before = s.h.clock.now();
        const After a = RunAndLook(s);
        ExpectEntryFailure(s, a, "Cannot find a Keystrand SM.");
        EXPECT_GE(static_cast<DWORD>(s.h.clock.now() - before), 2000u);
        EXPECT_EQ(s.device.log().received().find("<W"), std::string::npos);
    }
}

TEST(BeginUpdate, AnyCharactersAfterTheFirstTwelveOfTheIdentityPass) {
    for (const char* fault : {"identity:reply=\\rKYST-SM-00,\\x00\\xFF~@?\\x11",
                              "identity:reply=\\rKYST-SM-00,123456789012345678901234567890"}) {
        SCOPED_TRACE(fault);
        SimHarness s(ApplicationWith({fault}));
        s.writePackage(MakeHexFile(2));
        RunAndLook(s);
        ASSERT_EQ(s.boxes.size(), 1u);
        EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete");
    }
}

TEST(BeginUpdate, DsrThatNeverDropsIsAnInvalidResponse) {
    SimHarness s(ApplicationWith({"restart:keep-dsr"}));
    s.writePackage(MakeHexFile(2));
    const BorrowedPort loan(s);
    const After a = RunAndLook(s);
    ExpectEntryFailure(s, a, "Invalid response from the Keystrand SM.");
    EXPECT_NE(s.device.log().received().find("<V<W"), std::string::npos);
    EXPECT_EQ(s.boxes.at(0).loanPort, 3) << "the borrowed port is given back after the box";
    EXPECT_EQ(a.loanPort, -1);
    loan.expectGivenBackOnceClosed();
}

TEST(BeginUpdate, APortHeldByTheCompanionIsBorrowedAndGivenBackAfterItIsClosed) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(2));
    s.line.failNextOpens(1);
    s.h.windows.add("Fenmoor Serial Test Program");
    struct Seen {
        SimHarness* s;
        std::vector<std::pair<WPARAM, bool>> notices; // code, port open when posted
    } seen{&s, {}};
    s.h.windows.onPostContext = &seen;
    s.h.windows.onPost = [](void* context, const fw::host::FakeTopWindows::Posted& p) {
        auto* self = static_cast<Seen*>(context);
        self->notices.emplace_back(p.wParam, self->s->comm.isOpen());
        EXPECT_EQ(p.lParam, 3);
        EXPECT_EQ(p.message, static_cast<UINT>(WM_PORT_HANDOFF));
    };
    const After a = RunAndLook(s);
    ASSERT_EQ(seen.notices.size(), 2u);
    EXPECT_EQ(seen.notices[0].first, static_cast<WPARAM>(PORT_RELEASE_REQUEST));
    EXPECT_EQ(seen.notices[1].first, static_cast<WPARAM>(PORT_RETURN_NOTICE));
    EXPECT_FALSE(seen.notices[1].second) << "the port is closed before it is given back";
    EXPECT_EQ(s.h.clock.sleeps(), 1);
    EXPECT_EQ(s.boxes.at(0).box.caption, "Firmware Update Complete");
    EXPECT_EQ(s.boxes.at(0).loanPort, -1) << "given back before the success message";
    EXPECT_EQ(a.loanPort, -1);
}

TEST(BeginUpdate, BothOpensFailingReportThePortAndGiveTheLoanBack) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(2));
    s.line.failNextOpens(2);
    s.h.windows.add("Fenmoor Serial Test Program");
    const After a = RunAndLook(s);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].box.text, "Unable to open serial port COM3               ");
    EXPECT_EQ(s.boxes[0].result, "Unable to open serial port COM3               ");
    EXPECT_EQ(s.boxes[0].loanPort, 3) << "the loan is returned after the box";
    EXPECT_EQ(a.loanPort, -1);
    EXPECT_EQ(a.enabledPorts, (std::vector<int>{3, 7}));
    ASSERT_EQ(s.h.windows.posted().size(), 2u);
    EXPECT_EQ(s.h.windows.posted()[1].wParam, static_cast<WPARAM>(PORT_RETURN_NOTICE));
}

TEST(BeginUpdate, WithoutACompanionTheSecondOpenFollowsAtOnce) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(2));
    s.line.failNextOpens(2);
    RunAndLook(s);
    EXPECT_EQ(s.h.clock.sleeps(), 0);
    EXPECT_EQ(s.comm.failedOpenCount(), 2);
    EXPECT_TRUE(s.h.windows.posted().empty());
}

TEST(BeginUpdate, UsesThePortOfTheCheckedButton) {
    SimHarness s(BootLoaderWith(), "COM7"); // COM3 does not open
    s.writePackage(MakeHexFile(2));
    RunAndLook(s, [](CUpdateDlg&, fw::host::DialogModel& w) { w.click(IDC_COM7); });
    EXPECT_EQ(s.comm.openPath(), "\\\\.\\COM7");
    EXPECT_EQ(s.h.profile.getProfileInt("Settings", "ComPort", -1), 7);
}

TEST(BeginUpdate, NothingEndsTheDialogWhileTheFirmwareIsWritten) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(20));
    int pumps = 0;
    s.h.ui.onPump = [&] {
        CUpdateDlg& d = *static_cast<CUpdateDlg*>(s.h.app.m_pMainWnd);
        fw::host::DialogModel& w = *fw::host::ModelOf(d);
        // Escape, Alt+F4 and the close box all arrive as messages pumped by the transfer.
        s.h.ui.post(w.hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        s.h.ui.post(w.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        s.h.ui.post(w.hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        for (const auto& item : w.systemMenu) {
            if (item.id == SC_CLOSE || item.id == IDM_ABOUTBOX) {
                EXPECT_FALSE(item.enabled) << item.text;
            }
        }
        EXPECT_TRUE(d.UpdateInProgress());
        for (int id : kUpdateCommands) {
            EXPECT_FALSE(d.IsDlgItemEnabled(id)) << id;
        }
        pumps++;
    };
    bool endedDuringUpdate = true;
    int aboutOpened = 0;
    s.h.onOtherDialog = [&](fw::Dialog& d, fw::host::DialogModel&) {
        aboutOpened++;
        d.EndDialog(IDOK);
    };
    s.beginUpdate(nullptr,
                  [&](CUpdateDlg&, fw::host::DialogModel& w) { endedDuringUpdate = w.ended; });
    EXPECT_GT(pumps, 5);
    EXPECT_FALSE(endedDuringUpdate);
    EXPECT_EQ(aboutOpened, 0);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete");
    EXPECT_TRUE(s.imageMatchesFile());
}

} // namespace
