// Which port buttons the machine's serial-port map enables, and which one is chosen.
#include <gtest/gtest.h>

#include "base/ProductNames.h"
#include "support/ProgramHarness.h"
#include "ui/PortButtons.h"

namespace {

struct PortView {
    std::vector<int> enabled; // port numbers whose buttons are enabled
    int checked;              // port number of the checked button, 0 for none
    bool beginEnabled;
};

class PortDiscovery : public ::testing::Test {
protected:
    PortDiscovery() { h.writePackage(); }

    static PortView View(CUpdateDlg& d) {
        PortView v{{}, 0, d.IsDlgItemEnabled(IDC_BEGIN_UPDATE) != FALSE};
        for (int n = kFirstComPort; n <= kLastComPort; ++n) {
            if (d.IsDlgItemEnabled(PortButtonId(n))) {
                v.enabled.push_back(n);
            }
        }
        v.checked = PortOfButton(d.GetCheckedRadioButton(kFirstPortButton, kLastPortButton));
        return v;
    }

    PortView Open() {
        CUpdateDlg dlg;
        PortView v{};
        h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) { v = View(d); });
        return v;
    }

    void Remember(int port) {
        h.profile.writeProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, port);
    }

    ProgramHarness h;
};

TEST_F(PortDiscovery, EnablesExactlyThePortsTheMapNamesAndChoosesTheRememberedOne) {
    h.portMap.add("\\Device\\Serial2", "COM3");
    h.portMap.add("\\Device\\Serial11", "COM12");
    PortView v = Open();
    EXPECT_EQ(v.enabled, (std::vector<int>{3, 12}));
    EXPECT_EQ(v.checked, 3) << "nothing remembered: the lowest present port";
    EXPECT_TRUE(v.beginEnabled);
    Remember(12);
    EXPECT_EQ(Open().checked, 12);
    Remember(5);
    EXPECT_EQ(Open().checked, 3) << "a remembered port the machine lacks";
}

TEST_F(PortDiscovery, RememberedValuesOutsideOneToTwelveCountAsNotPresent) {
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        h.portMap.add("\\Device\\Serial" + std::to_string(n), "COM" + std::to_string(n));
    }
    for (int remembered : {kFirstComPort - 1, -1, kLastComPort + 1, 1000}) {
        Remember(remembered);
        EXPECT_EQ(Open().checked, 1) << remembered;
    }
}

TEST_F(PortDiscovery, MatchesWholeNamesWithoutRegardToCase) {
    h.portMap.add("a", "com4");
    h.portMap.add("b", "COM13");
    h.portMap.add("c", "COM0");
    h.portMap.add("d", "COM1 ");
    h.portMap.add("e", "COM10");
    h.portMap.add("f", "LPT1");
    EXPECT_EQ(Open().enabled, (std::vector<int>{4, 10}));
}

TEST_F(PortDiscovery, AValueNameOverFiftyCharactersEndsTheWalk) {
    h.portMap.add("short", "COM2");
    h.portMap.add(std::string(50, 'n'), "COM5"); // fits: 50 characters and the terminator
    h.portMap.add(std::string(51, 'n'), "COM6");
    h.portMap.add("after", "COM7");
    EXPECT_EQ(Open().enabled, (std::vector<int>{2, 5}));
}

TEST_F(PortDiscovery, DataThatDoesNotFitEndsTheWalk) {
    h.portMap.add("a", "COM2");
    h.portMap.add("b", std::string(21, 'x'));
    h.portMap.add("c", "COM8");
    EXPECT_EQ(Open().enabled, (std::vector<int>{2}));
}

TEST_F(PortDiscovery, WithoutAMapEveryRefreshSaysSoAndNothingCanBeChosen) {
    h.portMap.present = false;
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        const PortView v = View(d);
        EXPECT_TRUE(v.enabled.empty());
        EXPECT_EQ(v.checked, 0);
        EXPECT_FALSE(v.beginEnabled);
        w.click(IDC_REFRESH_PORTS);
        w.click(IDC_REFRESH_PORTS);
    });
    ASSERT_EQ(h.ui.messageBoxes().size(), 3u);
    for (const auto& box : h.ui.messageBoxes()) {
        EXPECT_EQ(box.text, "There are no serial ports installed on this computer.     ");
        EXPECT_EQ(box.caption, PROGRAM_NAME) << "the application's name";
        EXPECT_EQ(box.type, MB_OK | MB_ICONEXCLAMATION);
    }
    EXPECT_EQ(dlg.m_hSerialCommKey, nullptr);
}

TEST_F(PortDiscovery, AMapWithNoUsablePortUnchecksAndDisablesEverythingQuietly) {
    h.portMap.add("a", "COM20");
    const PortView v = Open();
    EXPECT_TRUE(v.enabled.empty());
    EXPECT_EQ(v.checked, 0);
    EXPECT_FALSE(v.beginEnabled);
    EXPECT_TRUE(h.ui.messageBoxes().empty());
    EXPECT_EQ(h.portMap.opens, h.portMap.closes) << "the key is closed after each walk";
}

TEST_F(PortDiscovery, RefreshPicksUpAPortAddedMeanwhileAndEnablesBeginUpdate) {
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        EXPECT_FALSE(d.IsDlgItemEnabled(IDC_BEGIN_UPDATE));
        h.portMap.add("a", "COM9");
        w.click(IDC_REFRESH_PORTS);
        const PortView v = View(d);
        EXPECT_EQ(v.enabled, std::vector<int>{9});
        EXPECT_EQ(v.checked, 9);
        EXPECT_TRUE(v.beginEnabled);
    });
}

TEST_F(PortDiscovery, AnUnusablePackageKeepsBeginUpdateDisabledWhenAPortIsChosen) {
    h.folder.remove("Keystrand_SM.txt");
    h.portMap.add("a", "COM2");
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        w.click(IDC_REFRESH_PORTS);
        EXPECT_FALSE(d.IsDlgItemEnabled(IDC_BEGIN_UPDATE));
        EXPECT_EQ(d.GetCheckedRadioButton(kFirstPortButton, kLastPortButton), IDC_COM2);
    });
}

TEST_F(PortDiscovery, AClickChecksOneButtonOfTheGroup) {
    h.portMap.add("a", "COM2");
    h.portMap.add("b", "COM7");
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        w.click(IDC_COM7);
        EXPECT_EQ(d.GetCheckedRadioButton(kFirstPortButton, kLastPortButton), IDC_COM7);
        w.click(IDC_COM5); // disabled: the click does not reach it
        EXPECT_EQ(d.GetCheckedRadioButton(kFirstPortButton, kLastPortButton), IDC_COM7);
    });
}

} // namespace
