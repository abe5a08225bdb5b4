// The parts of fw::Dialog that are the same on every backend: the framework's default handlers.
#include "fw/Dialog.h"

namespace fw {

BOOL Dialog::OnInitDialog() {
    return TRUE;
}

void Dialog::OnOK() {
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

} // namespace fw
