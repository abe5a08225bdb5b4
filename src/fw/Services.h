// The platform services that the application object hands to the program.
#pragma once
#include "fw/Clock.h"
#include "fw/Comm.h"
#include "fw/PortMap.h"
#include "fw/Profile.h"
#include "fw/Shell.h"
#include "fw/TextFile.h"
#include "fw/TopWindows.h"
#include "fw/Ui.h"

namespace fw {

struct Services {
    Comm* comm = nullptr;
    Clock* clock = nullptr;
    PortMap* portMap = nullptr;
    Profile* profile = nullptr;
    TopWindows* windows = nullptr;
    Shell* shell = nullptr;
    Ui* ui = nullptr;
    // Null: the machine's own files.
    FileOpener* files = nullptr;
};

} // namespace fw
