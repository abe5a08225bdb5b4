// The placement rule of both dialogs: centred across the screen, a quarter of the free height down.
#pragma once

namespace fw {
class Dialog;
}

struct DialogPosition {
    int x;
    int y;
};

// Top-left corner for a window of the given size on a screen of the given size; the divisions
// truncate toward zero, so a window larger than the screen gets a negative coordinate.
DialogPosition ComputeDialogPosition(int windowWidth, int windowHeight, int screenWidth,
                                     int screenHeight);

// Moves the open dialog to its place by the rule, keeping its size: its rectangle, the primary
// screen's size, then the move.
void PlaceOnScreen(fw::Dialog& dialog);
