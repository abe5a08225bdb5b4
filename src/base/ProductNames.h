/* The product's names, wherever a user or other software sees them: the device, the company, the
   programs, the companion program whose port the dialog borrows, and the settings of the dialog.
   Settings live in HKEY_CURRENT_USER\Software\<COMPANY_NAME>\<PROGRAM_NAME>\<SETTINGS_SECTION>;
   renaming any of these loses every user's remembered port.
   Plain preprocessor text: the resource script includes it too. */
#pragma once

/* The device, as titles and messages name it. */
#define DEVICE_NAME "Keystrand SM"

/* The firmware package's description file, beside the programs: its version and the HEX file. */
#define DESCRIPTION_FILE_NAME "Keystrand_SM.txt"

#define COMPANY_NAME "Fenmoor Systems"
/* The dialog program's file name without extension, which the framework takes as the
   application's name (the settings key below the company's). */
#define PROGRAM_NAME "KeystrandUpdate"
/* The console program, the simulated device and the program that gives the simulated device's
   terminal its modem lines, as their commands are named. */
#define CONSOLE_PROGRAM_NAME "keystrand-update"
#define SIM_PROGRAM_NAME "keystrand-sim"
#define MODEM_LINES_PROGRAM_NAME "keystrand-modem-lines"
/* The title of the maker's serial test program's window, which can lend its port. */
#define COMPANION_WINDOW_TITLE "Fenmoor Serial Test Program"

#define SETTINGS_SECTION "Settings"
/* The number n of the port COMn of the last successful update. */
#define SETTINGS_PORT_ENTRY "ComPort"
