// The platform services that the application object hands to the program.
#pragma once
#include "base/Clock.h"
#include "base/TextFile.h"
#include "fw/Comm.h"
#include "fw/PortMap.h"
#include "fw/Profile.h"
#include "fw/Shell.h"
#include "fw/TopWindows.h"
#include "fw/Ui.h"

namespace fw {

struct Services {
    Comm* comm = nullptr;
    base::Clock* clock = nullptr;
    PortMap* portMap = nullptr;
    Profile* profile = nullptr;
    TopWindows* windows = nullptr;
    Shell* shell = nullptr;
    Ui* ui = nullptr;
    // Null: the machine's own files.
    base::FileOpener* files = nullptr;
};

} // namespace fw
