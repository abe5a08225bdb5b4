// The main dialog's frame: its template, opening, colours, painting, system menu and closing.
#include <gtest/gtest.h>

#include "support/ProgramHarness.h"
#include "support/RecordingComm.h"
#include "ui/DialogTemplates.h"
#include "ui/PortButtons.h"
#include "ui/PortLoan.h"

namespace {

class UpdateDialogFrame : public ::testing::Test {
protected:
    UpdateDialogFrame() : h(&comm) {
        comm.addPort("\\\\.\\COM1");
        h.writePackage();
        h.portMap.add("\\Device\\Serial0", "COM1");
    }
    RecordingComm comm;
    ProgramHarness h;
};

TEST(DialogTemplates, TheMainDialogHasItsTwentyNineControlsInTemplateOrder) {
    const fw::DialogTemplate* t = ProgramDialogTemplates().find(IDD_UPDATE_DIALOG);
    ASSERT_NE(t, nullptr);
    const int ids[] = {2,    1017, -1,   2001, 2002, 2003, 2004, 2005, 2006, 2007,
                       2008, 2009, 2010, 2011, 2012, -1,   1100, 1022, -1,   1008,
                       1009, 1007, 1010, 1011, 1020, -1,   1016, 1012, 1006};
    ASSERT_EQ(t->controlCount, 29u);
    for (std::size_t i = 0; i < 29; ++i) {
        EXPECT_EQ(t->controls[i].id, ids[i]) << "control " << i + 1;
        EXPECT_NE(t->controls[i].style & WS_CHILD, 0u);
        EXPECT_NE(t->controls[i].style & WS_VISIBLE, 0u);
    }
    EXPECT_EQ(t->width, 371);
    EXPECT_EQ(t->height, 361);
    EXPECT_EQ(t->exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    // The port buttons: one for each offered port, in two rows of six, one group that starts at
    // COM1; each button's id and text name its port.
    for (int n = 0; n < kComPortCount; ++n) {
        const fw::ControlTemplate& c = t->controls[3 + n];
        const int port = kFirstComPort + n;
        EXPECT_EQ(c.id, PortButtonId(port));
        EXPECT_EQ(PortOfButton(c.id), port);
        EXPECT_EQ(std::string(c.text), "COM" + std::to_string(port));
        EXPECT_EQ(c.x, 24 + 56 * (n % 6));
        EXPECT_EQ(c.y, n < 6 ? 36 : 52);
        EXPECT_EQ((c.style & WS_GROUP) != 0, n == 0);
    }
    // No other id is a port's: nothing checked (0) and the neighbours of the row.
    for (int id : {0, kFirstPortButton - 1, kLastPortButton + 1, IDC_BEGIN_UPDATE}) {
        EXPECT_EQ(PortOfButton(id), 0) << id;
    }
}

TEST(DialogTemplates, TheAboutBoxHasItsElevenControlsAndOneTabStop) {
    const fw::DialogTemplate* t = ProgramDialogTemplates().find(IDD_ABOUTBOX);
    ASSERT_NE(t, nullptr);
    const int ids[] = {-1, 1015, 1013, 1, -1, 1019, 1014, -1, 1021, 1016, 1018};
    ASSERT_EQ(t->controlCount, 11u);
    int tabStops = 0;
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(t->controls[i].id, ids[i]) << "control " << i + 1;
        tabStops += (t->controls[i].style & WS_TABSTOP) != 0 ? 1 : 0;
    }
    EXPECT_EQ(tabStops, 1);
    EXPECT_STREQ(t->controls[9].className, "RichEdit20A");
    EXPECT_EQ(t->controls[0].iconId, IDR_MAINFRAME);
    EXPECT_EQ(ProgramDialogTemplates().find(101), nullptr);
}

TEST(DialogTemplates, ADialogOpensOnlyFromATemplateTheProgramHandedToTheBackend) {
    ProgramHarness h;
    bool opened = false;
    h.ui.onModal = [&](fw::Dialog& d) {
        opened = true;
        d.EndDialog(IDOK);
    };
    h.ui.setDialogTemplates(fw::DialogTemplateTable{});
    fw::Dialog about(IDD_ABOUTBOX);
    EXPECT_EQ(about.DoModal(), -1);
    EXPECT_FALSE(opened);

    h.ui.setDialogTemplates(ProgramDialogTemplates());
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_TRUE(opened);
}

TEST_F(UpdateDialogFrame, OpensWithItsTitleTextsAndEmptiedStatusLines) {
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        EXPECT_EQ(d.GetWindowText(), "Keystrand SM Firmware Update");
        EXPECT_EQ(d.GetDlgItemText(IDC_HEADLINE),
                  "Use for updating the Keystrand SM hardware wedge firmware.");
        EXPECT_EQ(d.GetDlgItemText(IDC_INSTRUCTIONS),
                  "- Be sure the Keystrand SM wedge is connected to a power source (see manual).\n"
                  "  Possible power sources include the following:\n"
                  "      -- Connected between your keyboard and PC.\n"
                  "      -- Connected to USB port via USB to PS2 adapter.\n"
                  "- Connect the Keystrand SM to a serial port on your PC.\n"
                  "- Select your PC serial port number (COM1 to COM12).\n"
                  "- Press the \"Begin Update\" button.\n"
                  "- Monitor the Firmware Update Status information.\n"
                  "- A message box will indicate the success of the update.");
        for (int id : {IDC_BOOTLOADER_VERSION, IDC_ROW_PROGRESS, IDC_UPDATE_RESULT}) {
            EXPECT_EQ(d.GetDlgItemText(id), "") << id;
        }
        EXPECT_FALSE(d.IsDlgItemVisible(IDC_DETAILED_INSTRUCTIONS));
        EXPECT_EQ(w.bigIcon, d.m_hIcon);
        EXPECT_NE(d.m_hIcon, nullptr);
        EXPECT_EQ(d.m_nRowCount, 0);
        EXPECT_EQ(d.m_nLoanPort, -1);
        ASSERT_GE(w.systemMenu.size(), 2u);
        EXPECT_TRUE(w.systemMenu[w.systemMenu.size() - 2].separator);
        EXPECT_EQ(w.systemMenu.back().id, static_cast<UINT>(IDM_ABOUTBOX));
        EXPECT_EQ(w.systemMenu.back().text, "About Keystrand SM Update...");
    });
}

TEST_F(UpdateDialogFrame, IsPlacedByTheRuleOnTheScreen) {
    for (const auto& screen : {std::pair<int, int>{1024, 768}, {640, 480}, {1920, 1080}}) {
        h.ui.setScreenSize(screen.first, screen.second);
        CUpdateDlg dlg;
        h.run(dlg, [&](CUpdateDlg&, fw::host::DialogModel& w) {
            const int width = w.windowRect.right - w.windowRect.left;
            const int height = w.windowRect.bottom - w.windowRect.top;
            EXPECT_EQ(w.windowRect.left, (screen.first - width) / 2);
            EXPECT_EQ(w.windowRect.top, (screen.second - height) / 4);
        });
    }
}

TEST_F(UpdateDialogFrame, OnlyTheHeadlineIsDrawnRedAndBold) {
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        w.paint();
        for (const auto& c : w.controls()) {
            if (c.className != "Static") {
                continue;
            }
            if (c.id == IDC_HEADLINE) {
                EXPECT_TRUE(c.draw.textColorSet);
                EXPECT_EQ(c.draw.textColor, RGB(192, 0, 0));
                EXPECT_EQ(c.draw.bkMode, TRANSPARENT);
                EXPECT_EQ(c.draw.font, d.m_headlineFont.Handle());
            } else {
                EXPECT_FALSE(c.draw.textColorSet) << c.id;
                EXPECT_EQ(c.draw.font, nullptr) << c.id;
            }
        }
        EXPECT_EQ(d.m_headlineFont.PixelHeight(), -12);
        EXPECT_EQ(d.m_headlineFont.Weight(), 700);
        EXPECT_EQ(d.m_headlineFont.FaceName(), "Microsoft Sans Serif");
    });
}

TEST_F(UpdateDialogFrame, TheHeadlineFontFollowsTheScreenResolution) {
    h.ui.setDpiY(120);
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        EXPECT_EQ(d.m_headlineFont.PixelHeight(), -15);
    });
}

TEST_F(UpdateDialogFrame, MinimisedItDrawsTheIconCentredAndDragsIt) {
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        w.systemCommand(0xF020);
        ASSERT_TRUE(d.IsIconic());
        d.SendMessage(WM_PAINT, 0, 0);
        EXPECT_EQ(w.iconErases, 1);
        EXPECT_EQ(w.iconPaints, 1);
        RECT client;
        d.GetClientRect(&client);
        EXPECT_EQ(w.lastIconX, (client.right - 32 + 1) / 2);
        EXPECT_EQ(w.lastIconY, (client.bottom - 32 + 1) / 2);
        EXPECT_EQ(reinterpret_cast<HICON>(d.SendMessage(WM_QUERYDRAGICON, 0, 0)), d.m_hIcon);
    });
}

TEST_F(UpdateDialogFrame, EnterDoesNothingAndEscapeClosesThePortAndReturnsALoan) {
    HWND companion = h.windows.add("Fenmoor Serial Test Program");
    CUpdateDlg dlg;
    // The port number the dialog's port had when each notice was posted.
    struct Seen {
        CUpdateDlg* dialog;
        std::vector<int> portAtNotice;
    } seen{&dlg, {}};
    h.windows.onPostContext = &seen;
    h.windows.onPost = [](void* context, const fw::host::FakeTopWindows::Posted&) {
        auto* self = static_cast<Seen*>(context);
        self->portAtNotice.push_back(self->dialog->m_serialPort.GetPortNumber());
    };
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        w.focusId = IDC_COM1;
        w.pressEnter();
        EXPECT_FALSE(w.ended);
        ASSERT_TRUE(d.m_serialPort.Open(1, 9600, 'N', 8, 1));
        d.m_nLoanPort = 1;
        w.pressEscape();
        EXPECT_TRUE(w.ended);
        EXPECT_EQ(w.endCode, IDCANCEL);
        EXPECT_EQ(d.m_serialPort.GetPortNumber(), -1);
        EXPECT_EQ(d.m_nLoanPort, -1);
    });
    ASSERT_EQ(h.windows.posted().size(), 1u);
    EXPECT_EQ(h.windows.posted()[0].hwnd, companion);
    EXPECT_EQ(h.windows.posted()[0].wParam, static_cast<WPARAM>(PORT_RETURN_NOTICE));
    EXPECT_EQ(h.windows.posted()[0].lParam, 1);
    EXPECT_EQ(seen.portAtNotice, std::vector<int>{-1})
        << "the port is closed before it is given back";
}

TEST_F(UpdateDialogFrame, TheCloseCommandEndsTheDialogLikeDone) {
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        ASSERT_TRUE(d.m_serialPort.Open(1, 9600, 'N', 8, 1));
        w.systemCommand(SC_CLOSE);
        EXPECT_TRUE(w.ended);
        EXPECT_EQ(d.m_serialPort.GetPortNumber(), -1);
    });
}

TEST_F(UpdateDialogFrame, DestroyingTheWindowClosesAnOpenPort) {
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        ASSERT_TRUE(d.m_serialPort.Open(1, 9600, 'N', 8, 1));
        d.EndDialog(IDOK); // ended without Done
    });
    EXPECT_EQ(dlg.m_serialPort.GetPortNumber(), -1);
}

TEST_F(UpdateDialogFrame, TheSystemMenuItemAndContactInfoOpenTheAboutBox) {
    std::vector<UINT> opened;
    h.onOtherDialog = [&](fw::Dialog& d, fw::host::DialogModel&) {
        opened.push_back(d.TemplateId());
        d.EndDialog(IDOK);
    };
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg&, fw::host::DialogModel& w) {
        w.systemCommand(IDM_ABOUTBOX);
        w.systemCommand(IDM_ABOUTBOX | 0x0003); // the low bits are the system's own
        w.click(IDC_CONTACT_INFO);
        EXPECT_FALSE(w.ended);
    });
    EXPECT_EQ(opened, (std::vector<UINT>{IDD_ABOUTBOX, IDD_ABOUTBOX, IDD_ABOUTBOX}));
}

TEST_F(UpdateDialogFrame, TheHiddenDetailedInstructionsHandlerReportsTheMissingDocument) {
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DETAILED_INSTRUCTIONS, BN_CLICKED), 0);
    });
    ASSERT_EQ(h.ui.messageBoxes().size(), 1u);
    EXPECT_EQ(h.ui.messageBoxes()[0].text,
              "Cannot fine the detailed instructions document.     \n" + h.folder.dir() + "     ");
    EXPECT_EQ(h.ui.messageBoxes()[0].caption, "Detailed Instructions");
    EXPECT_EQ(h.ui.messageBoxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_TRUE(h.shell.launches().empty());
}

TEST_F(UpdateDialogFrame, TheDetailedInstructionsHandlerReportsAFailedLaunch) {
    CUpdateDlg dlg;
    h.shell.result = 31;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        d.m_strProgramDir = h.folder.path("Keystrand_SM.txt"); // something that exists
        d.OnDetailedInstructions();
    });
    ASSERT_EQ(h.shell.launches().size(), 1u);
    EXPECT_EQ(h.shell.launches()[0].verb, "open");
    EXPECT_EQ(h.shell.launches()[0].showCommand, SW_SHOW);
    ASSERT_EQ(h.ui.messageBoxes().size(), 1u);
    EXPECT_EQ(h.ui.messageBoxes()[0].text,
              "Unable to load the Acrobat Reader.\n\nAcrobat Reader must be installed on your "
              "computer in order to view the detailed instructions.     ");
}

} // namespace
