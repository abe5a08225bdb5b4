// The placement rule of both dialogs: centred across the screen, a quarter of the free height down.
#pragma once

struct DialogPosition {
    int x;
    int y;
};

// Top-left corner for a window of the given size on a screen of the given size; the divisions
// truncate toward zero, so a window larger than the screen gets a negative coordinate.
DialogPosition ComputeDialogPosition(int windowWidth, int windowHeight, int screenWidth,
                                     int screenHeight);
