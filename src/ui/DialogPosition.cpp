// The placement rule shared by the main dialog and the About box.
#include "ui/DialogPosition.h"

DialogPosition ComputeDialogPosition(int windowWidth, int windowHeight, int screenWidth,
                                     int screenHeight) {
    return DialogPosition{(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 4};
}
