// The About and contact box: its texts, its contact block, the web link and the focus.
#include <gtest/gtest.h>

#include "app/ProgramVersion.h"
#include "support/ProgramHarness.h"
#include "ui/AboutDlg.h"

namespace {

class AboutBox : public ::testing::Test {
protected:
    AboutBox() { h.writePackage(); }

    // Opens the box from the main dialog's Contact Info button and lets `user` act in it.
    void OpenAbout(const std::function<void(fw::Dialog&, fw::host::DialogModel&)>& user) {
        h.onOtherDialog = [&](fw::Dialog& d, fw::host::DialogModel& w) {
            user(d, w);
            if (!w.ended) {
                d.EndDialog(IDOK);
            }
        };
        h.portMap.add("a", "COM1");
        CUpdateDlg dlg;
        h.run(dlg, [&](CUpdateDlg&, fw::host::DialogModel& w) { w.click(IDC_CONTACT_INFO); });
    }

    ProgramHarness h;
};

TEST_F(AboutBox, ShowsItsCaptionAndTexts) {
    OpenAbout([&](fw::Dialog& d, fw::host::DialogModel& w) {
        EXPECT_EQ(d.TemplateId(), static_cast<UINT>(IDD_ABOUTBOX));
        EXPECT_EQ(d.GetWindowText(), "About Keystrand SM Update");
        EXPECT_EQ(d.GetDlgItemText(IDC_ABOUT_TITLE), "Keystrand SM Hardware Wedge Firmware Update");
        EXPECT_EQ(d.GetDlgItemText(IDC_ABOUT_VERSION), "Version " PROGRAM_VERSION_TEXT);
        EXPECT_EQ(d.GetDlgItemText(IDC_ABOUT_RELEASED), "Released October 25 2006");
        EXPECT_EQ(d.GetDlgItemText(IDC_ABOUT_USAGE),
                  "This update utility can only be used to update\nthe Keystrand SM hardware wedge "
                  "firmware.\n");
        EXPECT_FALSE(d.GetDlgItemText(IDC_ABOUT_NOTICE).empty());
        EXPECT_EQ(d.GetDlgItemText(IDC_ABOUT_CONTACT_LABELS),
                  "Phone:\nFAX:\nEmail:\nWeb:\nHours:\nAddress:");
        const int width = w.windowRect.right - w.windowRect.left;
        EXPECT_EQ(w.windowRect.left, (1024 - width) / 2);
    });
}

TEST_F(AboutBox, HoldsTheContactBlockOnceEvenWhenOpenedAgain) {
    std::vector<std::string> contacts;
    const auto record = [&](fw::Dialog& d, fw::host::DialogModel&) {
        contacts.push_back(d.GetDlgItemText(IDC_ABOUT_CONTACT));
    };
    OpenAbout(record);
    OpenAbout(record);
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0], CAboutDlg::ContactBlock());
    EXPECT_EQ(contacts[1], contacts[0]);
    // Seven lines: six line feeds and none at the end.
    EXPECT_EQ(std::count(contacts[0].begin(), contacts[0].end(), '\n'), 6);
    EXPECT_NE(contacts[0].back(), '\n');
}

TEST_F(AboutBox, ALeftButtonPressOnTheWebAddressOpensItAndNothingElseDoes) {
    OpenAbout([&](fw::Dialog&, fw::host::DialogModel& w) {
        const std::vector<CHARRANGE> links = w.linkRanges(IDC_ABOUT_CONTACT);
        ASSERT_EQ(links.size(), 1u) << "the web address is marked as a link";
        EXPECT_EQ(w.linkEvent(IDC_ABOUT_CONTACT, WM_MOUSEMOVE, links[0]), 0);
        EXPECT_EQ(w.linkEvent(IDC_ABOUT_CONTACT, WM_LBUTTONUP, links[0]), 0);
        EXPECT_TRUE(h.shell.launches().empty());
        EXPECT_EQ(w.linkEvent(IDC_ABOUT_CONTACT, WM_LBUTTONDOWN, links[0]), 0);
    });
    ASSERT_EQ(h.shell.launches().size(), 1u);
    EXPECT_EQ(h.shell.launches()[0].verb, "open");
    EXPECT_EQ(h.shell.launches()[0].file, "http://www.fenmoor.example");
    EXPECT_EQ(h.shell.launches()[0].showCommand, SW_SHOWNORMAL);
}

TEST_F(AboutBox, TheLinkTextIsTakenFromTheRangeTheControlReports) {
    OpenAbout([&](fw::Dialog&, fw::host::DialogModel& w) {
        w.linkEvent(IDC_ABOUT_CONTACT, WM_LBUTTONDOWN, CHARRANGE{0, 5});
        w.linkEvent(IDC_ABOUT_CONTACT, WM_LBUTTONDOWN,
                    CHARRANGE{3, 1 << 30}); // absurd: cut, not overrun
    });
    ASSERT_EQ(h.shell.launches().size(), 2u);
    EXPECT_EQ(h.shell.launches()[0].file, "http://" + CAboutDlg::ContactBlock().substr(0, 5));
    EXPECT_EQ(h.shell.launches()[1].file, "http://" + CAboutDlg::ContactBlock().substr(3));
}

TEST_F(AboutBox, TheContactFieldPassesTheFocusToOk) {
    OpenAbout([&](fw::Dialog&, fw::host::DialogModel& w) {
        w.focusControl(IDC_ABOUT_CONTACT);
        EXPECT_EQ(w.focusId, IDOK);
        w.pressEnter();
        EXPECT_TRUE(w.ended) << "Enter now presses OK";
        EXPECT_EQ(w.endCode, IDOK);
    });
}

} // namespace
