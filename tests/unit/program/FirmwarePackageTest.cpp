// The firmware package read while the dialog opens, and the HEX file check repeated later.
#include <gtest/gtest.h>

#include "support/ProgramHarness.h"

namespace {

const std::string kCaption = "Keystrand SM Update";

struct Opened {
    std::string version;
    std::string file;
    std::string hexName;
    bool beginEnabled;
    std::vector<fw::host::MessageBoxRecord> boxes;
};

class FirmwarePackage : public ::testing::Test {
protected:
    FirmwarePackage() { h.portMap.add("\\Device\\Serial0", "COM1"); }

    Opened Open() {
        CUpdateDlg dlg;
        Opened o;
        h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) {
            o.version = d.GetDlgItemText(IDC_FIRMWARE_VERSION);
            o.file = d.GetDlgItemText(IDC_FIRMWARE_FILE);
            o.hexName = d.m_strHexFileName;
            o.beginEnabled = d.IsDlgItemEnabled(IDC_BEGIN_UPDATE) != FALSE;
        });
        o.boxes = h.ui.messageBoxes();
        return o;
    }

    ProgramHarness h;
};

TEST_F(FirmwarePackage, AUsablePackageFillsBothLinesAndLeavesBeginUpdateEnabled) {
    h.writePackage("2.10", "upd.hex");
    const Opened o = Open();
    EXPECT_EQ(o.version, "Firmware version  =  2.10");
    EXPECT_EQ(o.file.rfind("Firmware file  =  upd.hex     (", 0), 0u) << o.file;
    EXPECT_EQ(o.file.back(), ')');
    EXPECT_TRUE(o.beginEnabled);
    EXPECT_TRUE(o.boxes.empty());
}

TEST_F(FirmwarePackage, CrLfAndLfDescriptionFilesGiveTheSameValues) {
    h.folder.write("upd.hex", ":00000001FF\n");
    h.folder.write("Keystrand_SM.txt", "2.10\nupd.hex\n");
    const Opened lf = Open();
    h.folder.write("Keystrand_SM.txt", "2.10\r\nupd.hex\r\n");
    const Opened crlf = Open();
    EXPECT_EQ(lf.version, crlf.version);
    EXPECT_EQ(lf.hexName, "upd.hex");
    EXPECT_EQ(crlf.hexName, "upd.hex");
}

TEST_F(FirmwarePackage, AnEmptyOrOneLineDescriptionDisablesBeginUpdateWithoutAMessage) {
    for (const std::string content : {"", "2.10\r\n", "2.10"}) {
        h.ui.clearMessageBoxes();
        h.folder.write("Keystrand_SM.txt", content);
        const Opened o = Open();
        EXPECT_EQ(o.version, "Firmware version  =  ") << content;
        EXPECT_EQ(o.file, "Firmware file  =") << "the template text stays";
        EXPECT_FALSE(o.beginEnabled);
        EXPECT_TRUE(o.boxes.empty());
        EXPECT_TRUE(o.hexName.empty());
    }
}

TEST_F(FirmwarePackage, AnEmptySecondLineNamesNoFile) {
    h.folder.write("Keystrand_SM.txt", "2.10\r\n\r\n");
    const Opened o = Open();
    ASSERT_EQ(o.boxes.size(), 1u);
    EXPECT_EQ(o.boxes[0].text, "Unable to open the firmware hex file:     \n          ");
    EXPECT_EQ(o.boxes[0].caption, kCaption);
    EXPECT_EQ(o.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(o.file, "Firmware file  =  ");
    EXPECT_EQ(o.version, "Firmware version  =  ");
    EXPECT_FALSE(o.beginEnabled);
}

TEST_F(FirmwarePackage, ATrailingBlankStaysPartOfTheName) {
    h.folder.write("Keystrand_SM.txt", "2.10\r\nupd.hex \r\n");
    h.folder.write("upd.hex", ":00000001FF\n");
    Opened o = Open();
    ASSERT_EQ(o.boxes.size(), 1u) << "the file without the blank does not count";
    EXPECT_EQ(o.boxes[0].text, "Unable to open the firmware hex file:     \n     upd.hex      ");
    EXPECT_EQ(o.file, "Firmware file  =  upd.hex ");

    h.ui.clearMessageBoxes();
    h.folder.write("upd.hex ", ":00000001FF\n");
    o = Open();
    EXPECT_TRUE(o.boxes.empty());
    EXPECT_EQ(o.file.rfind("Firmware file  =  upd.hex      (", 0), 0u) << o.file;
}

TEST_F(FirmwarePackage, LinesAfterTheSecondAreIgnored) {
    h.folder.write("Keystrand_SM.txt", "2.10\r\nupd.hex\r\nanything\r\n\x1A\xFF\r\n");
    h.folder.write("upd.hex", ":00000001FF\n");
    const Opened o = Open();
    EXPECT_EQ(o.version, "Firmware version  =  2.10");
    EXPECT_TRUE(o.beginEnabled);
}

TEST_F(FirmwarePackage, AMissingDescriptionFileIsReportedWithItsFullPath) {
    const Opened o = Open();
    ASSERT_EQ(o.boxes.size(), 1u);
    EXPECT_EQ(o.boxes[0].text, "Unable to open the firmware description file:     \n     " +
                                   h.folder.path("Keystrand_SM.txt") +
                                   "     \n\nFirmware update wil be disabled.");
    EXPECT_EQ(o.boxes[0].caption, kCaption);
    EXPECT_EQ(o.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(o.version, "Firmware version  =  ");
    EXPECT_EQ(o.file, "Firmware file  =");
    EXPECT_FALSE(o.beginEnabled) << "even though a port is present";
}

TEST_F(FirmwarePackage, AMissingHexFileAtOpenClearsBothStrings) {
    h.folder.write("Keystrand_SM.txt", "2.10\r\ngone.hex\r\n");
    const Opened o = Open();
    ASSERT_EQ(o.boxes.size(), 1u);
    EXPECT_EQ(o.boxes[0].text, "Unable to open the firmware hex file:     \n     gone.hex     ");
    EXPECT_EQ(o.file, "Firmware file  =  gone.hex");
    EXPECT_EQ(o.version, "Firmware version  =  ");
    EXPECT_TRUE(o.hexName.empty());
    EXPECT_FALSE(o.beginEnabled);
}

TEST_F(FirmwarePackage, AHexFileRemovedLaterFailsTheRecheckAndRefreshEnablesBeginAgain) {
    h.writePackage("2.10", "upd.hex");
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
        h.folder.remove("upd.hex");
        w.click(IDC_BEGIN_UPDATE);
        ASSERT_EQ(h.ui.messageBoxes().size(), 1u);
        EXPECT_EQ(h.ui.messageBoxes()[0].text,
                  "Unable to open the firmware hex file:     \n     upd.hex     ");
        EXPECT_FALSE(d.IsDlgItemEnabled(IDC_BEGIN_UPDATE));
        EXPECT_EQ(d.GetDlgItemText(IDC_FIRMWARE_FILE), "Firmware file  =  upd.hex");
        EXPECT_EQ(d.m_strHexFileName, "upd.hex") << "a failed re-check keeps the name";
        EXPECT_EQ(h.ui.waitCursorDepth(), 0);
        w.click(IDC_REFRESH_PORTS);
        EXPECT_TRUE(d.IsDlgItemEnabled(IDC_BEGIN_UPDATE));
        w.click(IDC_BEGIN_UPDATE);
        EXPECT_EQ(h.ui.messageBoxes().size(), 2u);
    });
}

TEST_F(FirmwarePackage, AnEmptyProgramDirectoryMakesTheNamesRelative) {
    CUpdateDlg dlg;
    dlg.m_strProgramDir = "";
    EXPECT_EQ(h.folder.dir().empty(), false);
    h.ui.onModal = [&](fw::Dialog& d) { d.EndDialog(IDCANCEL); };
    h.app.m_pMainWnd = &dlg;
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(h.folder.dir());
    h.writePackage("3.01", "rel.hex");
    dlg.DoModal();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(dlg.m_strFirmwareVersion, "3.01");
    EXPECT_TRUE(h.ui.messageBoxes().empty());
}

} // namespace
