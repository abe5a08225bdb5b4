// Begin Update refuses a HEX file that can never be flashed before anything reaches the device;
// read errors of the package are reported, never taken for its end; an exception that reaches
// the dialog's boundary ends an update as a failure would, once and from the update's own frame,
// also when it comes from a handler run inside the update by its pump or a message box.
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
    bool writeProfileInt(const std::string&, const std::string&, int) override { return false; }
    int reads = 0;
};

// Refresh Serial Ports posted to the dialog, as another program may post it while the button is
// disabled; with the settings made unreadable its handler throws before it changes anything.
void PostACommandThatThrows(SimHarness& s, ThrowingProfile& profile) {
    fw::Services services = s.h.app.services();
    services.profile = &profile;
    s.h.app.SetServices(services);
    s.h.app.m_pMainWnd->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH_PORTS, BN_CLICKED), 0);
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

TEST(HandlerException, AHandlerThatThrowsAfterTheLastRowLeavesTheOutcomeToTheDevice) {
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
    ASSERT_EQ(s.boxes.size(), 1u) << (s.boxes.empty() ? std::string() : s.boxes.back().box.text);
    EXPECT_EQ(s.boxes[0].box.caption, "Firmware Update Complete");
    EXPECT_EQ(resultAfter, "Keystrand SM firmware successfully updated");
    EXPECT_TRUE(s.device.fileComplete());
    EXPECT_TRUE(s.imageMatchesFile());
}

TEST(HandlerException, AHandlerThatThrowsWhileTheUpdatesMessageIsUpLeavesThatMessageTheOnlyOne) {
    struct Case {
        const char* name;
        sim::DeviceConfig device;
        bool updated;
        const char* caption;
        const char* result;
    };
    const Case cases[] = {
        {"success", BootLoaderWith(), true, "Firmware Update Complete",
         "Keystrand SM firmware successfully updated"},
        {"a failed transfer", BootLoaderWith({"xoff@row=2:dead"}), false, "Firmware Update Error",
         "Firmware update failed"},
        {"a failed boot-loader entry", DeviceWith(sim::Mode::ApplicationFirmware, {"restart:none"}),
         false, "Firmware Update Error", "Invalid response from the Keystrand SM."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimHarness s(c.device);
        s.writePackage(MakeHexFile(4));
        const BorrowedPort loan(s);
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
        s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
            ExpectTheDialogFree(s, d, w);
            EXPECT_EQ(d.m_nLoanPort, -1);
            resultAfter = d.GetDlgItemText(IDC_UPDATE_RESULT);
        });
        EXPECT_EQ(profile.reads, 1) << "the command's handler ran and threw";
        ASSERT_EQ(s.boxes.size(), 1u)
            << (s.boxes.empty() ? std::string() : s.boxes.back().box.text);
        EXPECT_EQ(s.boxes[0].box.caption, c.caption);
        EXPECT_EQ(s.boxes[0].result, c.result);
        EXPECT_EQ(resultAfter, c.result) << "the outcome stands";
        EXPECT_EQ(s.imageMatchesFile(), c.updated);
        EXPECT_FALSE(s.comm.isOpen());
        loan.expectGivenBackOnceClosed();
    }
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
