// The About and contact box: placement, texts, the contact block and its web link.
#include "ui/AboutDlg.h"

#include "app/ProgramVersion.h"
#include "base/ProductNames.h"
#include "fw/App.h"
#include "ui/ContactInfo.h"
#include "ui/DialogPosition.h"
#include "ui/UpdateDlg.h"

namespace {
constexpr LONG kEndOfText = 2147483647;
constexpr LONG kLongestLink = 1024;
} // namespace

FW_BEGIN_MESSAGE_MAP(CAboutDlg, fw::Dialog)
FW_ON_NOTIFY(EN_LINK, IDC_ABOUT_CONTACT, OnContactLink)
FW_ON_CONTROL(EN_SETFOCUS, IDC_ABOUT_CONTACT, OnContactSetFocus)
FW_END_MESSAGE_MAP()

CAboutDlg::CAboutDlg() : fw::Dialog(IDD_ABOUTBOX) {}

std::string CAboutDlg::ContactBlock() {
    return std::string(CONTACT_PHONE) + "\n" + CONTACT_FAX + "\n" + CONTACT_EMAIL + "\n" +
           CONTACT_WEB + "\n" + CONTACT_HOURS + "\n" + CONTACT_POSTAL_BOX + "\n" + CONTACT_TOWN;
}

BOOL CAboutDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();

    PlaceOnScreen(*this);

    SetWindowText("About " DEVICE_NAME " Update");
    SetDlgItemText(IDC_ABOUT_TITLE, DEVICE_NAME " Hardware Wedge Firmware Update");
    SetDlgItemText(IDC_ABOUT_VERSION, "Version " PROGRAM_VERSION_TEXT);
    SetDlgItemText(IDC_ABOUT_RELEASED, "Released October 25 2006");
    SetDlgItemText(IDC_ABOUT_NOTICE, "Copyright (C) 2006 " COMPANY_NAME ".");
    SetDlgItemText(IDC_ABOUT_USAGE, "This update utility can only be used to update\n"
                                    "the " DEVICE_NAME " hardware wedge firmware.\n");

    const std::string contact = ContactBlock();
    SendDlgItemMessage(IDC_ABOUT_CONTACT, EM_AUTOURLDETECT, TRUE, 0);
    const LRESULT mask = SendDlgItemMessage(IDC_ABOUT_CONTACT, EM_GETEVENTMASK, 0, 0);
    SendDlgItemMessage(IDC_ABOUT_CONTACT, EM_SETEVENTMASK, 0, mask | ENM_LINK);
    CHARRANGE end{kEndOfText, kEndOfText};
    SendDlgItemMessage(IDC_ABOUT_CONTACT, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    SendDlgItemMessage(IDC_ABOUT_CONTACT, EM_REPLACESEL, FALSE,
                       reinterpret_cast<LPARAM>(contact.c_str()));
    return TRUE;
}

void CAboutDlg::OnContactLink(NMHDR* notification, LRESULT* result) {
    *result = 0;
    const ENLINK* link = reinterpret_cast<const ENLINK*>(notification);
    if (link->msg != WM_LBUTTONDOWN) {
        return;
    }
    // A range longer than any web address is cut, so the copy always fits its buffer.
    CHARRANGE range = link->chrg;
    if (range.cpMax < range.cpMin || range.cpMax - range.cpMin > kLongestLink) {
        range.cpMax = range.cpMin + kLongestLink;
    }
    char text[kLongestLink + 1] = {};
    TEXTRANGEA textRange{};
    textRange.chrg = range;
    textRange.lpstrText = text;
    SendDlgItemMessage(IDC_ABOUT_CONTACT, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&textRange));
    const std::string target = std::string("http://") + text;
    fw::Shell* shell = fw::App::Current()->services().shell;
    if (shell != nullptr) {
        shell->shellExecute("open", target.c_str(), SW_SHOWNORMAL);
    }
}

void CAboutDlg::OnContactSetFocus() {
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDOK)), TRUE);
}
