/* The program's names where other software sees them: the company and the program in the
   registry and in the version block, and the section and value of the remembered port.
   Settings live in HKEY_CURRENT_USER\Software\<COMPANY_NAME>\<PROGRAM_NAME>\<SETTINGS_SECTION>;
   renaming any of these loses every user's remembered port.
   Plain preprocessor text: the resource script includes it too. */
#pragma once

#define COMPANY_NAME "Fenmoor Systems"
/* The program file's name without extension, which the framework takes as the application's
   name (the settings key below the company's). */
#define PROGRAM_NAME "KeystrandUpdate"
#define SETTINGS_SECTION "Settings"
/* The number n of the port COMn of the last successful update. */
#define SETTINGS_PORT_ENTRY "ComPort"
