// CUpdateApp: start-up of the program, which runs the main update dialog as its only window.
#pragma once
#include "fw/App.h"

class CUpdateApp : public fw::App {
public:
    CUpdateApp();
    // Prepares the window libraries and the settings root, runs the main dialog modally and
    // returns FALSE so that the process ends when the dialog closes.
    BOOL InitInstance() override;
};
