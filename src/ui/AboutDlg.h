// CAboutDlg: the About and contact box, with the support contact and its clickable web address.
#pragma once
#include <string>

#include "fw/Dialog.h"

class CAboutDlg : public fw::Dialog {
public:
    CAboutDlg();
    BOOL OnInitDialog() override;
    // EN_LINK from the contact field: a left-button press on the web address opens it.
    void OnContactLink(NMHDR* notification, LRESULT* result);
    // The contact field never keeps the focus: it goes to OK at once.
    void OnContactSetFocus();

    // The seven lines of the contact block, joined by line feeds.
    static std::string ContactBlock();

protected:
    FW_DECLARE_MESSAGE_MAP()
};
