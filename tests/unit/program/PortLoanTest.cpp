// The port loan: which companion windows are asked, the one wait, and the return notice.
#include <gtest/gtest.h>

#include "support/ProgramHarness.h"
#include "ui/PortLoan.h"

namespace {

class PortLoan : public ::testing::Test {
protected:
    PortLoan() {
        h.ui.onModal = [](fw::Dialog&) {};
    }

    // Runs f on a dialog that is open, as Begin Update would.
    template <typename F> void WithDialog(F f) {
        CUpdateDlg dlg;
        h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) { f(d); });
    }

    ProgramHarness h;
};

TEST_F(PortLoan, EveryVisibleCompanionIsAskedAndThereIsOneWait) {
    const HWND first = h.windows.add("Fenmoor Serial Test Program");
    h.windows.add("Some Editor");
    const HWND second = h.windows.add("FENMOOR SERIAL TEST PROGRAM - COM3");
    h.windows.add("Fenmoor Serial Test Program", false);
    h.windows.add("Fenmoor");
    h.windows.add("Fenmoor Serial Test Progra");
    WithDialog([&](CUpdateDlg& d) {
        d.RequestPortLoan(3);
        EXPECT_EQ(d.m_nLoanPort, 3);
        EXPECT_EQ(h.clock.sleeps(), 1);
        EXPECT_EQ(h.clock.totalSlept(), 1000u);
        ASSERT_EQ(h.windows.posted().size(), 2u);
        EXPECT_EQ(h.windows.posted()[0].hwnd, first);
        EXPECT_EQ(h.windows.posted()[1].hwnd, second);
        for (const auto& p : h.windows.posted()) {
            EXPECT_EQ(p.message, 0x8065u);
            EXPECT_EQ(p.wParam, 1001u);
            EXPECT_EQ(p.lParam, 3);
        }
        h.windows.clearPosted();
        d.ReturnPortLoan();
        d.ReturnPortLoan();
        EXPECT_EQ(d.m_nLoanPort, -1);
        ASSERT_EQ(h.windows.posted().size(), 2u) << "two returns post once to each companion";
        for (const auto& p : h.windows.posted()) {
            EXPECT_EQ(p.wParam, 1002u);
            EXPECT_EQ(p.lParam, 3);
        }
    });
}

TEST_F(PortLoan, WithoutACompanionNothingIsPostedRecordedOrWaitedFor) {
    h.windows.add("Fenmoor Serial Test Program", false);
    WithDialog([&](CUpdateDlg& d) {
        d.RequestPortLoan(4);
        EXPECT_EQ(d.m_nLoanPort, -1);
        EXPECT_EQ(h.clock.sleeps(), 0);
        d.ReturnPortLoan();
    });
    EXPECT_TRUE(h.windows.posted().empty());
}

TEST_F(PortLoan, ACompanionThatClosedMeanwhileStillClearsTheRecord) {
    const HWND companion = h.windows.add("Fenmoor Serial Test Program");
    WithDialog([&](CUpdateDlg& d) {
        d.RequestPortLoan(2);
        h.windows.remove(companion);
        d.ReturnPortLoan();
        EXPECT_EQ(d.m_nLoanPort, -1);
    });
    EXPECT_EQ(h.windows.posted().size(), 1u);
}

TEST_F(PortLoan, ATitleOfNinetyNineCharactersOrMoreIsReadSafely) {
    h.windows.add("Fenmoor Serial Test Program" + std::string(500, 'x'));
    WithDialog([&](CUpdateDlg& d) {
        d.RequestPortLoan(1);
        EXPECT_EQ(d.m_nLoanPort, 1);
    });
}

} // namespace
