// Begin Update refuses a HEX file that can never be flashed before anything reaches the device;
// read errors of the package are reported, never taken for its end; an exception that reaches
// the dialog's boundary ends an update as a failure would, once and from the update's own frame,
// also when it comes from a handler run inside the update by its pump or a message box.
#include <cstdio>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/FailingFiles.h"
#include "support/SimHarness.h"

namespace {

const std::string kInvalidData = "Invalid data in hex file.     \n\nFirmware update terminated.\n";
const std::string kUnreadable =
    "Unable to read the firmware hex file.     \n\nFirmware update terminated.\n";

// The rows of a good file: six data records and the end-of-file record, without line ends.
std::vector<std::string> GoodRows() {
    const std::string text = MakeHexFile(6);
    std::vector<std::string> rows;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        rows.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return rows;
}

std::string Joined(const std::vector<std::string>& rows) {
    std::string text;
    for (const std::string& row : rows) {
        text += row + "\r\n";
    }
    return text;
}

// A device in its application firmware whose flash holds the firmware it came with.
sim::DeviceConfig DeviceWithFirmware() {
    sim::DeviceConfig config = DeviceWith(sim::Mode::ApplicationFirmware);
    std::string error;
    EXPECT_TRUE(sim::ImageFromHexText(MakeHexFile(4, 9), &config.initialImage, &error)) << error;
    return config;
}

// The dialog's state after Begin Update, and that the device saw nothing at all.
void ExpectRefusedBeforeThePort(SimHarness& s, const std::string& messageStart,
                                const sim::Image& imageBefore) {
    ASSERT_EQ(s.boxes.size(), 1u);
    const BoxSnapshot& box = s.boxes[0];
    EXPECT_EQ(box.box.text.rfind(messageStart, 0), 0u) << box.box.text;
    EXPECT_EQ(box.box.caption, "Firmware Update Error");
    EXPECT_EQ(box.box.type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(box.result, "Firmware update failed");
    EXPECT_EQ(box.enabledPorts, (std::vector<int>{3, 7}));
    EXPECT_TRUE(box.beginEnabled);
    EXPECT_EQ(box.loanPort, -1);
    EXPECT_EQ(s.comm.openCount(), 0) << "the port was never opened";
    EXPECT_EQ(s.h.windows.posted().size(), 0u) << "no port loan was asked for";
    EXPECT_EQ(s.device.log().received(), "") << "no byte reached the device";
    EXPECT_EQ(s.device.image(), imageBefore) << "the device's firmware is as it was";
    EXPECT_EQ(s.h.ui.waitCursorDepth(), 0);
}

TEST(PackageBeforeDevice, FilesThatCanNeverBeFlashedWholeAreRefusedBeforeThePortIsOpened) {
    const std::vector<std::string> good = GoodRows(); // 7 rows, the last the end-of-file record
    std::vector<std::string> badChecksum = good;
    badChecksum[4].back() = badChecksum[4].back() == '0' ? '1' : '0';
    std::vector<std::string> blankRow = good;
    blankRow[2] = "";
    std::vector<std::string> noEndOfFile(good.begin(), good.end() - 1);
    std::vector<std::string> endOfFileEarly = good;
    std::swap(endOfFileEarly[2], endOfFileEarly[6]);
    std::vector<std::string> endOfFileTwice = good;
    endOfFileTwice.push_back(good.back());

    const std::pair<const char*, std::string> files[] = {
        {"a wrong checksum in row 5", Joined(badChecksum)},
        {"a blank row", Joined(blankRow)},
        {"no end-of-file record", Joined(noEndOfFile)},
        {"the end-of-file record at row 3", Joined(endOfFileEarly)},
        {"two end-of-file records", Joined(endOfFileTwice)},
        {"a doubled line end at the end", Joined(good) + "\r\n"},
        {"an empty file", ""},
    };
    for (const auto& [what, text] : files) {
        SCOPED_TRACE(what);
        SimHarness s(DeviceWithFirmware());
        const sim::Image before = s.device.image();
        ASSERT_FALSE(before.empty());
        s.writePackage(text);
        s.beginUpdate();
        ExpectRefusedBeforeThePort(s, kInvalidData, before);
    }
}

TEST(PackageBeforeDevice, AGoodFileStillUpdatesTheDevice) {
    SimHarness s(DeviceWithFirmware());
    s.writePackage(Joined(GoodRows()));
    s.beginUpdate();
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete");
    EXPECT_TRUE(s.imageMatchesFile());
}

// The HEX file is opened when the dialog opens (1), by Begin Update's check (2), by its
// whole-file check (3), by the transfer's check (4) and by the transfer itself (5).
constexpr int kOpenOfPackageCheck = 3;
constexpr int kOpenOfTransfer = 5;

TEST(PackageBeforeDevice, AReadErrorInTheWholeFileCheckIsReportedBeforeThePortIsOpened) {
    SimHarness s(DeviceWithFirmware());
    FailingFiles files;
    s.h.app.SetServices([&] {
        fw::Services services = s.h.app.services();
        services.files = &files;
        return services;
    }());
    const std::string text = Joined(GoodRows());
    files.failReading("upd.hex", static_cast<long>(text.size() / 2), kOpenOfPackageCheck);
    const sim::Image before = s.device.image();
    s.writePackage(text);
    s.beginUpdate();
    ExpectRefusedBeforeThePort(s, kUnreadable, before);
    EXPECT_EQ(files.opensOfFailingFile(), kOpenOfPackageCheck);
}

TEST(PackageBeforeDevice, AReadErrorDuringTheTransferIsReportedNotTakenForTheEnd) {
    const std::string text = Joined(GoodRows());
    // While the transfer counts the rows, and while it reads them again to send them.
    for (const long failAt :
         {static_cast<long>(text.size() / 2), static_cast<long>(text.size() + text.size() / 2)}) {
        SCOPED_TRACE(failAt);
        SimHarness s(BootLoaderWith());
        FailingFiles files;
        fw::Services services = s.h.app.services();
        services.files = &files;
        s.h.app.SetServices(services);
        files.failReading("upd.hex", failAt, kOpenOfTransfer);
        s.writePackage(text);
        s.beginUpdate();
        ASSERT_EQ(s.boxes.size(), 1u);
        EXPECT_EQ(s.boxes[0].box.text.rfind(kUnreadable, 0), 0u) << s.boxes[0].box.text;
        EXPECT_EQ(s.boxes[0].result, "Firmware update failed");
        EXPECT_FALSE(s.boxes[0].portOpen);
        EXPECT_FALSE(s.device.fileComplete());
        EXPECT_LT(s.device.rowsAccepted(), 7);
    }
}

TEST(PackageBeforeDevice, AReadErrorOfTheDescriptionFileIsReportedAsItsOpenFailure) {
    ProgramHarness h;
    FailingFiles files;
    fw::Services services = h.app.services();
    services.files = &files;
    h.app.SetServices(services);
    h.writePackage("2.10", "upd.hex", MakeHexFile(2));
    files.failReading("Keystrand_SM.txt", 3); // inside the first line
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        EXPECT_FALSE(d.IsDlgItemEnabled(IDC_BEGIN_UPDATE));
        EXPECT_EQ(d.GetDlgItemText(IDC_FIRMWARE_VERSION), "Firmware version  =  ");
        EXPECT_EQ(d.GetDlgItemText(IDC_FIRMWARE_FILE), "Firmware file  =");
    });
    ASSERT_EQ(h.ui.messageBoxes().size(), 1u);
    EXPECT_EQ(h.ui.messageBoxes()[0].text,
              "Unable to open the firmware description file:     \n     " + h.folder.dir() +
                  "Keystrand_SM.txt     \n\nFirmware update wil be disabled.");
    EXPECT_EQ(h.ui.messageBoxes()[0].caption, "Keystrand SM Update");
}

// Settings that cannot be read: the framework's profile functions raise.
class ThrowingProfile : public fw::Profile {
public:
    void setRegistryKey(const std::string&, const std::string&) override {}
    int getProfileInt(const std::string&, const std::string&, int) override {
        reads++;
        throw std::runtime_error("settings unreadable");
    }
    bool writeProfileInt(const std::string&, const std::string&, int value) override {
        written = value;
        return false;
    }
    int reads = 0;
    int written = -1; // the last value the dialog tried to store
};

// Refresh Serial Ports posted to the dialog, as another program may post it while the button is
// disabled; with the settings made unreadable its handler throws before it changes anything.
void PostACommandThatThrows(SimHarness& s, ThrowingProfile& profile) {
    fw::Services services = s.h.app.services();
    services.profile = &profile;
    s.h.app.SetServices(services);
    s.h.app.m_pMainWnd->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH_PORTS, BN_CLICKED), 0);
}

// Refresh Serial Ports sent to the dialog (not posted): its handler runs at once, inside whatever
// the dialog is doing, and throws with the settings made unreadable.
void SendACommandThatThrows(SimHarness& s, ThrowingProfile& profile) {
    fw::Services services = s.h.app.services();
    services.profile = &profile;
    s.h.app.SetServices(services);
    s.h.app.m_pMainWnd->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH_PORTS, BN_CLICKED), 0);
}

// The framework's word on a handler that failed, as a box of its own after the update's.
void ExpectToldAfterTheUpdatesMessage(const SimHarness& s, const std::string& what) {
    ASSERT_EQ(s.boxes.size(), 2u) << (s.boxes.empty() ? std::string() : s.boxes.back().box.text);
    EXPECT_EQ(s.boxes[1].box.caption, PROGRAM_NAME);
    EXPECT_EQ(s.boxes[1].box.text,
              "The operation stopped because of an internal error (" + what + ").     ");
    EXPECT_EQ(s.boxes[1].box.type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
}

// Once the update has ended: nothing runs, and every command and the system menu work again.
void ExpectTheDialogFree(SimHarness& s, CUpdateDlg& d, fw::host::DialogModel& w) {
    EXPECT_FALSE(d.UpdateInProgress());
    for (int id : kUpdateCommands) {
        EXPECT_TRUE(d.IsDlgItemEnabled(id)) << id;
    }
    for (const auto& item : w.systemMenu) {
        EXPECT_TRUE(item.separator || item.enabled || item.id == 0xF120) << item.text;
    }
    EXPECT_EQ(s.h.ui.waitCursorDepth(), 0);
}

// The one message of an update ended by an internal error, and the dialog as it stood then.
void ExpectOneInternalErrorMessage(SimHarness& s, const std::string& what) {
    ASSERT_EQ(s.boxes.size(), 1u) << (s.boxes.empty() ? std::string() : s.boxes.back().box.text);
    const BoxSnapshot& box = s.boxes[0];
    EXPECT_EQ(box.box.caption, "Firmware Update Error");
    EXPECT_NE(box.box.text.find("internal error (" + what + ")"), std::string::npos)
        << box.box.text;
    EXPECT_EQ(box.result, "Firmware update failed");
    EXPECT_FALSE(box.portOpen) << "the port is closed before the message";
    EXPECT_EQ(box.enabledPorts, (std::vector<int>{3, 7}));
    EXPECT_EQ(box.loanPort, -1);
    EXPECT_FALSE(s.comm.isOpen());
}

TEST(HandlerException, DuringAnUpdateItEndsTheUpdateAsAFailureWould) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(9));
    const BorrowedPort loan(s);
    int pumps = 0;
    s.h.ui.onPump = [&] {
        if (++pumps == 2) {
            throw std::runtime_error("simulated framework failure");
        }
    };
    bool dialogEnded = false;
    s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        ExpectTheDialogFree(s, d, w);
        EXPECT_EQ(d.GetDlgItemText(IDC_UPDATE_RESULT), "Firmware update failed");
        EXPECT_EQ(d.m_nLoanPort, -1);
        w.click(IDCANCEL); // Done works again
        dialogEnded = w.ended;
    });
    EXPECT_TRUE(dialogEnded);
    ExpectOneInternalErrorMessage(s, "simulated framework failure");
    loan.expectGivenBackOnceClosed();
}

TEST(HandlerException, AnExceptionThatSaysNothingStillEndsTheUpdate) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(9));
    int pumps = 0;
    s.h.ui.onPump = [&] {
        if (++pumps == 2) {
            throw std::runtime_error("");
        }
    };
    s.beginUpdate(nullptr,
                  [&](CUpdateDlg& d, fw::host::DialogModel& w) { ExpectTheDialogFree(s, d, w); });
    ExpectOneInternalErrorMessage(s, "an unknown exception");
}

// Ten rows: a progress update and one pumped message after rows 2, 4, 6, 8 and 10. A command
// posted at one pump is taken by the next.
constexpr int kDataRowsOfTenRowFile = 9;

TEST(HandlerException, AHandlerThatThrowsInsideTheTransfersPumpEndsTheUpdateOnceFromItsOwnFrame) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(kDataRowsOfTenRowFile));
    ThrowingProfile profile;
    int pumps = 0;
    s.h.ui.onPump = [&] {
        if (++pumps == 1) {
            PostACommandThatThrows(s, profile); // its handler runs in the pump after row 4
        }
    };
    bool dialogEnded = false;
    s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        ExpectTheDialogFree(s, d, w);
        EXPECT_EQ(d.GetDlgItemText(IDC_UPDATE_RESULT), "Firmware update failed");
        w.click(IDCANCEL);
        dialogEnded = w.ended;
    });
    EXPECT_EQ(profile.reads, 1) << "the command's handler ran and threw";
    EXPECT_TRUE(dialogEnded);
    ExpectOneInternalErrorMessage(s, "settings unreadable");
    EXPECT_EQ(pumps, 2) << "the update ended in the pump where the handler failed";
    EXPECT_EQ(s.device.rowsAccepted(), 4);
    EXPECT_FALSE(s.device.fileComplete());
    EXPECT_EQ(s.comm.badHandleCalls(), 0);
}

TEST(HandlerException, AHandlerThatThrowsAfterTheLastRowLeavesTheOutcomeToTheDeviceAndIsTold) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(kDataRowsOfTenRowFile));
    ThrowingProfile profile;
    int pumps = 0;
    s.h.ui.onPump = [&] {
        if (++pumps == 4) {
            PostACommandThatThrows(s, profile); // its handler runs in the pump after row 10
        }
    };
    std::string resultAfter;
    s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        ExpectTheDialogFree(s, d, w);
        resultAfter = d.GetDlgItemText(IDC_UPDATE_RESULT);
    });
    EXPECT_EQ(profile.reads, 1) << "the command's handler ran and threw";
    ASSERT_FALSE(s.boxes.empty());
    EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete");
    ExpectToldAfterTheUpdatesMessage(s, "settings unreadable");
    EXPECT_EQ(resultAfter, "Keystrand SM firmware successfully updated");
    EXPECT_EQ(profile.written, 3) << "the port is remembered as after any success";
    EXPECT_TRUE(s.device.fileComplete());
    EXPECT_TRUE(s.imageMatchesFile());
}

TEST(HandlerException, AHandlerThatThrowsWhileAnUpdatesMessageIsUpIsToldOnceAfterIt) {
    struct Case {
        const char* name;
        sim::DeviceConfig device;
        std::string hex; // the HEX file at Begin Update; empty: none
        int port;        // the port chosen
        bool updated;
        const char* caption;
        const char* result;
        const char* text; // the beginning of the update's own message
        bool reachedDevice;
    };
    const std::string good = MakeHexFile(4);
    const Case cases[] = {
        {"success", BootLoaderWith(), good, 3, true, "Firmware Update Complete",
         "Keystrand SM firmware successfully updated", "The Keystrand SM firmware has", true},
        {"a failed transfer", BootLoaderWith({"xoff@row=2:dead"}), good, 3, false,
         "Firmware Update Error", "Firmware update failed", "Timeout waiting for XOFF", true},
        {"a failed boot-loader entry", DeviceWith(sim::Mode::ApplicationFirmware, {"restart:none"}),
         good, 3, false, "Firmware Update Error", "Invalid response from the Keystrand SM.",
         "Invalid response from the", true},
        {"the HEX file gone", BootLoaderWith(), "", 3, false, "Keystrand SM Update", "",
         "Unable to open the firmware hex file", false},
        {"a HEX file refused", BootLoaderWith(), ":10000000\r\n", 3, false, "Firmware Update Error",
         "Firmware update failed", "Invalid data in hex file.", false},
        {"a port that does not open", BootLoaderWith(), good, 7, false, "Firmware Update Error",
         "Unable to open serial port COM7               ", "Unable to open serial port COM7",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimHarness s(c.device);
        s.writePackage(good);
        // Where the device is reached, through a port the companion program lends.
        std::unique_ptr<BorrowedPort> loan;
        if (c.reachedDevice) {
            loan = std::make_unique<BorrowedPort>(s);
        }
        ThrowingProfile profile;
        s.whileBoxIsUp = [&](CUpdateDlg&, const BoxSnapshot&) {
            if (s.boxes.size() != 1) {
                return; // posted once, while the first message is up
            }
            PostACommandThatThrows(s, profile);
            // The box's own loop dispatches what is queued.
            for (int i = 0; i < 100 && !s.h.ui.queue().empty(); ++i) {
                s.h.ui.pumpMessage();
            }
        };
        std::string resultAfter;
        s.beginUpdate(
            [&](CUpdateDlg& d, fw::host::DialogModel&) {
                d.CheckRadioButton(kFirstPortButton, kLastPortButton, PortButtonId(c.port));
                if (c.hex.empty()) {
                    std::remove(s.h.folder.path("upd.hex").c_str());
                } else if (c.hex != good) {
                    s.h.folder.write("upd.hex", c.hex);
                }
            },
            [&](CUpdateDlg& d, fw::host::DialogModel& w) {
                if (!c.hex.empty()) { // a HEX file that is gone leaves Begin Update disabled
                    ExpectTheDialogFree(s, d, w);
                }
                resultAfter = d.GetDlgItemText(IDC_UPDATE_RESULT);
            });
        EXPECT_EQ(profile.reads, 1) << "the command's handler ran and threw";
        ASSERT_FALSE(s.boxes.empty());
        EXPECT_EQ(s.boxes[0].box.caption, c.caption);
        EXPECT_EQ(s.boxes[0].box.text.rfind(c.text, 0), 0u) << s.boxes[0].box.text;
        EXPECT_EQ(s.boxes[0].result, c.result);
        ExpectToldAfterTheUpdatesMessage(s, "settings unreadable");
        EXPECT_EQ(resultAfter, c.result) << "the outcome stands";
        EXPECT_EQ(s.imageMatchesFile(), c.updated);
        EXPECT_EQ(!s.device.log().received().empty(), c.reachedDevice);
        EXPECT_FALSE(s.comm.isOpen());
        // Remembered before the message, in the settings as they were then.
        EXPECT_EQ(s.h.profile.getProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, -1),
                  c.updated ? 3 : -1);
        if (loan) {
            loan->expectGivenBackOnceClosed();
        }
    }
}

TEST(HandlerException, AHandlerRunByASentMessageAfterTheLastRowIsToldAfterTheUpdatesMessage) {
    SimHarness s(BootLoaderWith());
    s.writePackage(MakeHexFile(4));
    ThrowingProfile profile;
    s.h.ui.onItemText = [&](HWND, int id, const std::string& text) {
        if (id == IDC_UPDATE_RESULT && text == "Keystrand SM firmware successfully updated" &&
            profile.reads == 0) {
            SendACommandThatThrows(s, profile);
        }
    };
    s.beginUpdate(nullptr,
                  [&](CUpdateDlg& d, fw::host::DialogModel& w) { ExpectTheDialogFree(s, d, w); });
    EXPECT_EQ(profile.reads, 1) << "the command's handler ran and threw";
    ASSERT_FALSE(s.boxes.empty());
    EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete");
    ExpectToldAfterTheUpdatesMessage(s, "settings unreadable");
    EXPECT_TRUE(s.imageMatchesFile());
}

TEST(HandlerException, AFailureBeforeAnythingReachesTheDeviceEndsTheUpdateWithNothingSent) {
    SimHarness s(DeviceWith(sim::Mode::ApplicationFirmware));
    s.writePackage(MakeHexFile(4));
    const BorrowedPort loan(s);
    ThrowingProfile profile;
    // A handler run while Begin Update writes the status lines, before the port is opened.
    bool pressed = false;
    s.h.ui.onItemText = [&](HWND, int id, const std::string&) {
        if (pressed && id == IDC_BOOTLOADER_VERSION && profile.reads == 0) {
            SendACommandThatThrows(s, profile);
        }
    };
    s.beginUpdate([&](CUpdateDlg&, fw::host::DialogModel&) { pressed = true; },
                  [&](CUpdateDlg& d, fw::host::DialogModel& w) { ExpectTheDialogFree(s, d, w); });
    EXPECT_EQ(profile.reads, 1) << "the command's handler ran and threw";
    ExpectOneInternalErrorMessage(s, "settings unreadable");
    EXPECT_EQ(s.device.log().received(), "") << "nothing reached the device";
    EXPECT_EQ(s.line.openCount(), 0) << "the port was not even opened";
    EXPECT_TRUE(loan.notices.empty()) << "no port was borrowed";
}

TEST(HandlerException, AFailureDuringTheEntryEndsTheUpdateBeforeTheRestartCommand) {
    SimHarness s(DeviceWith(sim::Mode::ApplicationFirmware));
    s.writePackage(MakeHexFile(4));
    ThrowingProfile profile;
    // A handler run while the application firmware is asked for its identity.
    s.device.log().setListener([&](const sim::LogEntry& e) {
        if (e.kind == sim::LogKind::Received && e.text == "<V" && profile.reads == 0) {
            SendACommandThatThrows(s, profile);
        }
    });
    s.beginUpdate(nullptr,
                  [&](CUpdateDlg& d, fw::host::DialogModel& w) { ExpectTheDialogFree(s, d, w); });
    EXPECT_EQ(profile.reads, 1) << "the command's handler ran and threw";
    ExpectOneInternalErrorMessage(s, "settings unreadable");
    EXPECT_EQ(s.device.log().received(), "<V") << "no restart was asked for";
    EXPECT_EQ(s.device.mode(), sim::Mode::ApplicationFirmware);
}

TEST(HandlerException, OutsideAnUpdateTheUserIsToldAndTheDialogGoesOn) {
    ProgramHarness h;
    h.writePackage();
    h.portMap.add("\\Device\\Serial2", "COM3");
    ThrowingProfile profile;
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        fw::Services services = h.app.services();
        services.profile = &profile;
        h.app.SetServices(services);
        w.click(IDC_REFRESH_PORTS);
        EXPECT_FALSE(w.ended);
        EXPECT_TRUE(d.IsDlgItemEnabled(IDCANCEL));
    });
    ASSERT_FALSE(h.ui.messageBoxes().empty());
    EXPECT_EQ(h.ui.messageBoxes().back().text,
              "The operation stopped because of an internal error (settings unreadable).     ");
}

TEST(BootLoaderEntry, ABannerDuringThePauseBeforeTheRequestIsPurged) {
    // The banner comes 50 ms after the line opens: after the switch of speed has purged the
    // input, inside the pause before the identification request.
    SimHarness s(BootLoaderWith({"banner:reply=KYST-SM-9.99\\r?", "banner:delay=50"}));
    s.writePackage(MakeHexFile(3));
    s.beginUpdate();
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete") << s.boxes[0].box.text;
    EXPECT_EQ(s.boxes[0].bootLoaderLine, "Boot loader version  =  KYST-SM-2.10");
}

TEST(BootLoaderEntry, ALineThatDiesRightAfterTheRestartCommandIsNoRestart) {
    // Every status read fails from "<W" on: that is no sign of DSR dropping.
    SimHarness s(DeviceWith(sim::Mode::ApplicationFirmware, {"restart:hangup"}));
    s.writePackage(MakeHexFile(2));
    s.beginUpdate();
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].box.text, "Invalid response from the Keystrand SM.               ");
    EXPECT_EQ(s.device.log().received(), "<V<W") << "no transfer was tried";
}

} // namespace
