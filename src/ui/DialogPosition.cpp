// The placement rule shared by the main dialog and the About box.
#include "ui/DialogPosition.h"

#include "fw/App.h"
#include "fw/Dialog.h"

DialogPosition ComputeDialogPosition(int windowWidth, int windowHeight, int screenWidth,
                                     int screenHeight) {
    return DialogPosition{(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 4};
}

void PlaceOnScreen(fw::Dialog& dialog) {
    RECT rect;
    dialog.GetWindowRect(&rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    fw::Ui* ui = fw::App::Current()->services().ui;
    const DialogPosition at = ComputeDialogPosition(
        width, height, ui->getSystemMetrics(SM_CXSCREEN), ui->getSystemMetrics(SM_CYSCREEN));
    dialog.MoveWindow(at.x, at.y, width, height, TRUE);
}
