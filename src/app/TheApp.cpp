// The one application object of the program, constructed before the entry point runs.
#include "app/UpdateApp.h"

CUpdateApp theApp;
