// The update engine on its own, against the simulated device on the virtual clock: every kind of
// outcome with the facts it carries, and the order in which a face hears of the update.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/VirtualClock.h"
#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"
#include "sim/InProcessLine.h"
#include "support/FailingFiles.h"
#include "support/TempDir.h"
#include "update/PollingWaits.h"
#include "update/UpdateSession.h"

namespace {

using update::Awaited;
using update::DeviceState;
using update::Failure;
using update::Outcome;
using update::Stage;

// Every event, as one line each, so that a test can check their order.
class RecordingObserver : public update::UpdateObserver {
public:
    void stageChanged(Stage stage) override { stages.push_back(stage); }
    bool retryOpen(const base::SystemError&) override {
        events.push_back("retry");
        return retry;
    }
    void portOpened() override { events.push_back("opened"); }
    void modemStatus(bool read, bool dsr) override {
        events.push_back(std::string("modem ") + (read ? "read" : "unread") + (dsr ? " dsr" : ""));
    }
    void bootLoaderVersion(const std::string& v) override { events.push_back("version " + v); }
    void rowsCounted(int total) override { events.push_back("rows " + std::to_string(total)); }
    void rowSent(int row, int total, std::size_t) override {
        rowsSent.push_back(row);
        lastTotal = total;
    }

    bool retry = false;
    std::vector<Stage> stages;
    std::vector<std::string> events;
    std::vector<int> rowsSent;
    int lastTotal = 0;
};

// Waits that poll like the dialog's, until the user stops the update at the n-th wait.
class StoppingWaits : public update::PollingWaits {
public:
    StoppingWaits(base::Clock& clock, int stopAtWait) : PollingWaits(clock), m_left(stopAtWait) {}
    update::WaitResult waitForCharacter(serial::Line& line, std::uint32_t start,
                                        std::uint32_t limit, char* c) override {
        if (--m_left == 0) {
            return update::WaitResult::kStopped;
        }
        return PollingWaits::waitForCharacter(line, start, limit, c);
    }

private:
    int m_left;
};

std::string HexFile(int dataRows) {
    std::string text;
    for (int r = 0; r < dataRows; ++r) {
        const std::vector<std::uint8_t> data(16, static_cast<std::uint8_t>(r));
        text += sim::MakeHexRow(intelhex::kData, static_cast<std::uint16_t>(r * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

struct Bench {
    explicit Bench(sim::Mode mode, std::initializer_list<const char*> faults = {}) {
        sim::DeviceConfig config;
        config.mode = mode;
        for (const char* entry : faults) {
            sim::Fault fault;
            std::string error;
            EXPECT_TRUE(sim::ParseFault(entry, &fault, &error)) << entry << ": " << error;
            config.faults.push_back(fault);
        }
        device = std::make_unique<sim::DeviceModel>(config);
    }

    // The line COMn; the device is on COM3 only. The same line while the number stays.
    sim::InProcessLine& line(int portNumber = 3) {
        const std::string name = "COM" + std::to_string(portNumber);
        if (!lineOf || lineOf->name() != name) {
            lineOf = std::make_unique<sim::InProcessLine>(clock, *device, name);
        }
        return *lineOf;
    }

    update::FirmwarePackage package(const std::string& text) {
        folder.write("fw.hex", text);
        return {folder.path("fw.hex"), &files};
    }

    Outcome run(const std::string& hexText, int portNumber = 3) {
        update::UpdateSession session(line(portNumber), waits, observer);
        return session.Run(package(hexText));
    }

    base::VirtualClock clock;
    std::unique_ptr<sim::DeviceModel> device;
    std::unique_ptr<sim::InProcessLine> lineOf;
    update::PollingWaits waits{clock};
    RecordingObserver observer;
    FailingFiles files;
    TempDir folder;
};

TEST(UpdateSession, AWholeUpdateReportsEveryStepInOrderAndEndsWithThePortClosed) {
    Bench b(sim::Mode::ApplicationFirmware);
    const Outcome o = b.run(HexFile(2));
    ASSERT_TRUE(o.ok());
    EXPECT_EQ(o.stage, Stage::kDone);
    EXPECT_EQ(o.device, DeviceState::kUpdated);
    EXPECT_EQ(o.rowsSent, 3);
    EXPECT_EQ(o.totalRows, 3);
    EXPECT_TRUE(o.sentAnything);
    EXPECT_FALSE(b.line().isOpen());
    EXPECT_EQ(b.line().openName(), "COM3");
    EXPECT_EQ(b.observer.events, (std::vector<std::string>{"opened", "modem read dsr",
                                                           "version KYST-SM-2.10", "rows 3"}));
    EXPECT_EQ(b.observer.rowsSent, (std::vector<int>{1, 2, 3}));
    const std::vector<Stage> expected = {Stage::kCheckingPackage,
                                         Stage::kOpeningPort,
                                         Stage::kProbing,
                                         Stage::kIdentifyingDevice,
                                         Stage::kRestarting,
                                         Stage::kSwitchingSpeed,
                                         Stage::kSettling,
                                         Stage::kIdentifyingBootLoader,
                                         Stage::kAwaitingReady,
                                         Stage::kCountingRows,
                                         Stage::kAwaitingXon,
                                         Stage::kAwaitingXoff,
                                         Stage::kAwaitingLineComplete,
                                         Stage::kAwaitingXon,
                                         Stage::kAwaitingXoff,
                                         Stage::kAwaitingLineComplete,
                                         Stage::kAwaitingXon,
                                         Stage::kAwaitingFileComplete,
                                         Stage::kDone};
    EXPECT_EQ(b.observer.stages, expected);
}

TEST(UpdateSession, APackageProblemEndsTheUpdateBeforeThePortIsOpened) {
    Bench b(sim::Mode::BootLoader);
    std::string text = HexFile(3);
    text.replace(text.find("\r\n") - 2, 2, "00"); // row 1's checksum
    const Outcome o = b.run(text);
    EXPECT_EQ(o.failure, Failure::kPackage);
    EXPECT_EQ(o.package.kind, update::HexFileProblem::Kind::kBadRecord);
    EXPECT_EQ(o.package.row, 1);
    EXPECT_EQ(o.package.Describe().rfind("row 1: checksum 00, expected ", 0), 0u)
        << o.package.Describe();
    EXPECT_FALSE(o.sentAnything);
    EXPECT_EQ(o.device, DeviceState::kUnchanged);
    EXPECT_EQ(b.line().openCount(), 0);
}

TEST(UpdateSession, APackageTheFaceCheckedIsNotReadAgainBeforeThePortButStillAtTheTransfer) {
    Bench b(sim::Mode::BootLoader);
    update::FirmwarePackage package = b.package(HexFile(2));
    b.files.failReading("fw.hex", -1); // counts the opens, fails none
    const update::HexFileSummary good = update::CheckHexFile(package.hexPath);
    package.checked = &good;
    update::UpdateSession session(b.line(), b.waits, b.observer);
    ASSERT_TRUE(session.Run(package).ok());
    EXPECT_EQ(b.files.opensOfFailingFile(), 1) << "the transfer's own open only";

    // The face's verdict stands: a problem it found ends the update before the port opens.
    Bench refused(sim::Mode::BootLoader);
    update::FirmwarePackage same = refused.package(HexFile(2));
    update::HexFileSummary bad = good;
    bad.problem.kind = update::HexFileProblem::Kind::kLastRowNotEndOfFile;
    same.checked = &bad;
    update::UpdateSession other(refused.line(), refused.waits, refused.observer);
    const Outcome o = other.Run(same);
    EXPECT_EQ(o.failure, Failure::kPackage);
    EXPECT_EQ(o.package.kind, update::HexFileProblem::Kind::kLastRowNotEndOfFile);
    EXPECT_EQ(refused.line().openCount(), 0);
}

TEST(UpdateSession, APortThatCannotBeOpenedIsTriedOnceMoreOnlyWhenTheFaceAsks) {
    Bench declined(sim::Mode::BootLoader);
    Outcome o = declined.run(HexFile(1), 5); // only COM3 is there
    EXPECT_EQ(o.failure, Failure::kPortOpen);
    EXPECT_EQ(o.stage, Stage::kOpeningPort);
    EXPECT_EQ(declined.line(5).failedOpenCount(), 1);
    EXPECT_EQ(declined.observer.events, std::vector<std::string>{"retry"});

    Bench lent(sim::Mode::BootLoader);
    lent.observer.retry = true;
    lent.line().failNextOpens(1); // held by another program until it is asked to let go
    o = lent.run(HexFile(1));
    EXPECT_TRUE(o.ok());
    EXPECT_EQ(lent.observer.events.front(), "retry");
    EXPECT_EQ(lent.line().openName(), "COM3");
}

TEST(UpdateSession, TheApplicationFirmwaresFailuresLeaveTheFirmwareUnchanged) {
    Bench silent(sim::Mode::ApplicationFirmware, {"identity:reply=\\rKYST-SM-01,123456"});
    Outcome o = silent.run(HexFile(1));
    EXPECT_EQ(o.failure, Failure::kNoIdentity);
    EXPECT_EQ(o.reply, "\rKYST-SM-01,123456");
    EXPECT_EQ(o.device, DeviceState::kUnchanged);
    EXPECT_TRUE(o.sentAnything);

    Bench stubborn(sim::Mode::ApplicationFirmware, {"restart:keep-dsr"});
    o = stubborn.run(HexFile(1));
    EXPECT_EQ(o.failure, Failure::kNoRestart);
    EXPECT_EQ(o.stage, Stage::kRestarting);
    EXPECT_EQ(o.device, DeviceState::kRestartRequested);
    EXPECT_FALSE(stubborn.line().isOpen());
}

TEST(UpdateSession, TheBootLoadersVersionFailuresCarryTheReplyAndTheStateThatIsKnown) {
    // Nothing answered the request: nobody knows whether a boot loader heard it.
    Bench dead(sim::Mode::BootLoader, {"version:dead"});
    Outcome o = dead.run(HexFile(1));
    EXPECT_EQ(o.failure, Failure::kNoVersion);
    EXPECT_EQ(o.device, DeviceState::kUnknown);
    EXPECT_EQ(o.bootLoaderVersion, "");
    EXPECT_EQ(o.reply, "");

    // A boot loader that skips its version but says it is ready has answered.
    Bench none(sim::Mode::BootLoader, {"version:none"});
    o = none.run(HexFile(1));
    EXPECT_EQ(o.failure, Failure::kNoVersion);
    EXPECT_EQ(o.reply, "?\x11"); // the ready character and the first XON
    EXPECT_EQ(o.device, DeviceState::kIncomplete);

    // Something answered: a boot loader, which may erase its flash once spoken to.
    Bench wrong(sim::Mode::BootLoader, {"version:reply=KYST-SM-2.11\\r"});
    o = wrong.run(HexFile(1));
    EXPECT_EQ(o.failure, Failure::kWrongVersion);
    EXPECT_EQ(o.reply, "KYST-SM-2.11");
    EXPECT_FALSE(o.readFailed);
    EXPECT_EQ(o.device, DeviceState::kIncomplete);
}

TEST(UpdateSession, TheIdentityAndTheVersionOfAnUpdatedDeviceAreKept) {
    Bench b(sim::Mode::ApplicationFirmware);
    const Outcome o = b.run(HexFile(1));
    ASSERT_TRUE(o.ok());
    EXPECT_EQ(o.identity.substr(0, 12), "\rKYST-SM-00,");
    EXPECT_EQ(o.identity.size(), 18u);
    EXPECT_EQ(o.bootLoaderVersion, "KYST-SM-2.10");
}

TEST(UpdateSession, AFileReadOnceByItsFaceIsSentFromMemoryAndNeverOpened) {
    Bench b(sim::Mode::BootLoader);
    update::FirmwarePackage package = b.package(HexFile(3));
    b.files.failReading("fw.hex", -1); // counts the opens, fails none
    const std::string text = HexFile(3);
    package.hexText = &text;
    package.hexPath = b.folder.path("no-such.hex");
    update::UpdateSession session(b.line(), b.waits, b.observer);
    ASSERT_TRUE(session.Run(package).ok());
    EXPECT_EQ(b.files.opensOfFailingFile(), 0);
    sim::Image expected;
    std::string error;
    ASSERT_TRUE(sim::ImageFromHexText(text, &expected, &error)) << error;
    EXPECT_EQ(b.device->image(), expected);

    // The text is checked before the port opens, as a file would be.
    Bench refused(sim::Mode::BootLoader);
    const std::string bad = HexFile(2) + ":00000001FF\r\n";
    update::FirmwarePackage same;
    same.hexText = &bad;
    update::UpdateSession other(refused.line(), refused.waits, refused.observer);
    EXPECT_EQ(other.Run(same).failure, Failure::kPackage);
    EXPECT_EQ(refused.line().openCount(), 0);
}

TEST(UpdateSession, HandshakeFailuresSayWhatWasAwaitedWhatCameAndAtWhichRow) {
    Bench late(sim::Mode::BootLoader, {"xoff@row=3:dead"});
    Outcome o = late.run(HexFile(5));
    EXPECT_EQ(o.failure, Failure::kNoAnswer);
    EXPECT_EQ(o.awaited, Awaited::kXoff);
    EXPECT_EQ(o.rowsSent, 3);
    EXPECT_EQ(o.totalRows, 6);
    EXPECT_EQ(o.device, DeviceState::kIncomplete);

    Bench nak(sim::Mode::BootLoader, {"xon@row=2:wrong=\\x15"});
    o = nak.run(HexFile(5));
    EXPECT_EQ(o.failure, Failure::kWrongAnswer);
    EXPECT_EQ(o.awaited, Awaited::kXon);
    EXPECT_EQ(o.received, '\x15');
    EXPECT_EQ(o.rowsSent, 1);

    Bench ready(sim::Mode::BootLoader, {"ready:wrong=!"});
    o = ready.run(HexFile(1));
    EXPECT_EQ(o.awaited, Awaited::kReady);
    EXPECT_EQ(o.received, '!');
    EXPECT_EQ(o.rowsSent, 0);
}

TEST(UpdateSession, TheTransfersOwnFileFailures) {
    // Straight to the transfer, as the dialog calls it, without the check before the port.
    for (const char* what : {"missing", "invalid", "unreadable"}) {
        SCOPED_TRACE(what);
        Bench b(sim::Mode::BootLoader);
        ASSERT_TRUE(b.line().open(115200));
        update::UpdateSession session(b.line(), b.waits, b.observer);
        update::FirmwarePackage package = b.package(HexFile(4));
        Failure expected = Failure::kHexOpen;
        if (std::string(what) == "missing") {
            package.hexPath += ".gone";
        } else if (std::string(what) == "invalid") {
            package = b.package(HexFile(4) + ":00000001FF\r\n");
            expected = Failure::kHexInvalid;
        } else {
            b.files.failReading("fw.hex", 40);
            expected = Failure::kHexRead;
        }
        const Outcome o = session.Transfer(package);
        EXPECT_EQ(o.failure, expected);
        EXPECT_EQ(o.rowsSent, 0);
        EXPECT_EQ(b.device->rowsAccepted(), 0);
        EXPECT_TRUE(b.line().isOpen()) << "the transfer leaves the port to its face";
        if (expected == Failure::kHexInvalid) {
            EXPECT_EQ(o.package.Describe(), "end-of-file record at row 5 of 6");
        }
    }
}

TEST(UpdateSession, StoppedByTheUserWhereverItWaits) {
    // The 1st wait is for the version reply's first character; the version takes 13, the ready
    // character one, and row 1 three, so the 18th is for the XON before row 2.
    for (const int stopAt : {1, 18}) {
        Bench b(sim::Mode::BootLoader);
        StoppingWaits waits(b.clock, stopAt);
        update::UpdateSession stoppable(b.line(), waits, b.observer);
        const Outcome o = stoppable.Run(b.package(HexFile(3)));
        EXPECT_EQ(o.failure, Failure::kStopped);
        // Stopped before anything answered the request: nobody knows what heard it.
        EXPECT_EQ(o.device, stopAt == 1 ? DeviceState::kUnknown : DeviceState::kIncomplete);
        EXPECT_FALSE(b.line().isOpen());
        EXPECT_EQ(o.rowsSent, stopAt == 1 ? 0 : 1);
    }
}

} // namespace
