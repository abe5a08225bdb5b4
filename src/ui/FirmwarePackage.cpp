// The firmware package beside the program: the description file and the check of the HEX file.
#include "base/ProductNames.h"
#include "base/TextFile.h"
#include "fw/App.h"
#include "ui/ModificationStamp.h"
#include "ui/UpdateDlg.h"

namespace {

const char* const kPackageCaption = DEVICE_NAME " Update";

base::FileOpener* Files() {
    fw::App* app = fw::App::Current();
    return app != nullptr ? app->services().files : nullptr;
}

} // namespace

BOOL CUpdateDlg::LoadFirmwarePackage() {
    const std::string caption = kPackageCaption;
    const std::string path = m_strProgramDir + DESCRIPTION_FILE_NAME;
    base::TextFile description(Files());
    bool opened = description.Open(path);
    if (opened) {
        bool bothLines = description.ReadString(m_strFirmwareVersion);
        if (bothLines) {
            bothLines = description.ReadString(m_strHexFileName);
        }
        // A file that cannot be read to its second line is as good as one that cannot be opened,
        // and is reported the same way rather than taken for a short file.
        opened = !description.ReadFailed();
        description.Close();
        if (opened && bothLines && CheckFirmwareFile()) {
            return TRUE;
        }
    }
    if (!opened) {
        MessageBox(std::string("Unable to open the firmware description file:     \n") + "     " +
                       path + "     \n\n" + "Firmware update wil be disabled.",
                   caption, MB_OK | MB_ICONEXCLAMATION);
    }
    m_strFirmwareVersion.clear();
    m_strHexFileName.clear();
    return FALSE;
}

BOOL CUpdateDlg::CheckFirmwareFile() {
    base::TextFile hexFile(Files());
    if (!hexFile.Open(m_strProgramDir + m_strHexFileName)) {
        MessageBox(std::string("Unable to open the firmware hex file:     \n") + "     " +
                       m_strHexFileName + "     ",
                   kPackageCaption, MB_OK | MB_ICONEXCLAMATION);
        EnableDlgItem(IDC_BEGIN_UPDATE, FALSE);
        SetDlgItemText(IDC_FIRMWARE_FILE, "Firmware file  =  " + m_strHexFileName);
        return FALSE;
    }
    base::LocalTime modified;
    hexFile.GetModificationTime(&modified);
    const std::string stamp = FormatModificationStamp(modified);
    hexFile.Close();
    SetDlgItemText(IDC_FIRMWARE_FILE, "Firmware file  =  " + m_strHexFileName + stamp);
    return TRUE;
}
