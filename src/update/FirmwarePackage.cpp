// The firmware package beside the program: the description file and the check of the HEX file.
#include "fw/TextFile.h"
#include "ui/UpdateDlg.h"
#include "update/ModificationStamp.h"

namespace {
const char* const kDescriptionFileName = "Keystrand_SM.txt";
const char* const kPackageCaption = DEVICE_NAME " Update";
} // namespace

BOOL CUpdateDlg::LoadFirmwarePackage() {
    const std::string caption = kPackageCaption;
    const std::string path = m_strProgramDir + kDescriptionFileName;
    fw::TextFile description;
    if (!description.Open(path)) {
        MessageBox(std::string("Unable to open the firmware description file:     \n") + "     " +
                       path + "     \n\n" + "Firmware update wil be disabled.",
                   caption, MB_OK | MB_ICONEXCLAMATION);
    } else {
        bool bothLines = description.ReadString(m_strFirmwareVersion);
        if (bothLines) {
            bothLines = description.ReadString(m_strHexFileName);
        }
        description.Close();
        if (bothLines && CheckFirmwareFile()) {
            return TRUE;
        }
    }
    m_strFirmwareVersion.clear();
    m_strHexFileName.clear();
    return FALSE;
}

BOOL CUpdateDlg::CheckFirmwareFile() {
    fw::TextFile hexFile;
    if (!hexFile.Open(m_strProgramDir + m_strHexFileName)) {
        MessageBox(std::string("Unable to open the firmware hex file:     \n") + "     " +
                       m_strHexFileName + "     ",
                   kPackageCaption, MB_OK | MB_ICONEXCLAMATION);
        EnableDlgItem(IDC_BEGIN_UPDATE, FALSE);
        SetDlgItemText(IDC_FIRMWARE_FILE, "Firmware file  =  " + m_strHexFileName);
        return FALSE;
    }
    fw::LocalTime modified;
    hexFile.GetModificationTime(&modified);
    const std::string stamp = FormatModificationStamp(modified);
    hexFile.Close();
    SetDlgItemText(IDC_FIRMWARE_FILE, "Firmware file  =  " + m_strHexFileName + stamp);
    return TRUE;
}
