/* The two dialog templates, control by control, in template order. Read by the resource compiler
   for the Windows build and by the host's dialog model, so both see the same controls.
   Plain preprocessor text only: the resource compiler includes this file too.

   A user defines these before including the file:
     LAYOUT_CONTROL(id, className, text, style, x, y, w, h, exStyle)
     LAYOUT_ICON(id, iconId, style, x, y, w, h)
   WS_CHILD and WS_VISIBLE are added by the user of each row. */

#define UPDATE_DIALOG_CAPTION "PRODUCT_NAME Firmware Update"
#define UPDATE_DIALOG_SIZE 371, 361
#define UPDATE_DIALOG_STYLE                                                                        \
    (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |            \
     DS_SETFONT | DS_FIXEDSYS)
#define UPDATE_DIALOG_EXSTYLE WS_EX_APPWINDOW

#define UPDATE_DIALOG_CONTROLS                                                                     \
    LAYOUT_CONTROL(IDCANCEL, "Button", "Done", WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, 247, 340,    \
                   84, 14, 0)                                                                      \
    LAYOUT_CONTROL(IDC_HEADLINE, "Static", "USE_WITH_PRODUCT_MSG", WS_GROUP | SS_CENTER, 0, 6,     \
                   370, 12, 0)                                                                     \
    LAYOUT_CONTROL(IDC_STATIC, "Button", "Serial Port: ", BS_GROUPBOX, 12, 24, 348, 44, 0)         \
    LAYOUT_CONTROL(IDC_COM1, "Button", "COM1", WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, 24, 36, \
                   36, 10, 0)                                                                      \
    LAYOUT_CONTROL(IDC_COM2, "Button", "COM2", BS_AUTORADIOBUTTON, 80, 36, 36, 10, 0)              \
    LAYOUT_CONTROL(IDC_COM3, "Button", "COM3", BS_AUTORADIOBUTTON, 136, 36, 36, 10, 0)             \
    LAYOUT_CONTROL(IDC_COM4, "Button", "COM4", BS_AUTORADIOBUTTON, 192, 36, 36, 10, 0)             \
    LAYOUT_CONTROL(IDC_COM5, "Button", "COM5", BS_AUTORADIOBUTTON, 248, 36, 36, 10, 0)             \
    LAYOUT_CONTROL(IDC_COM6, "Button", "COM6", BS_AUTORADIOBUTTON, 304, 36, 36, 10, 0)             \
    LAYOUT_CONTROL(IDC_COM7, "Button", "COM7", BS_AUTORADIOBUTTON, 24, 52, 36, 10, 0)              \
    LAYOUT_CONTROL(IDC_COM8, "Button", "COM8", BS_AUTORADIOBUTTON, 80, 52, 36, 10, 0)              \
    LAYOUT_CONTROL(IDC_COM9, "Button", "COM9", BS_AUTORADIOBUTTON, 136, 52, 36, 10, 0)             \
    LAYOUT_CONTROL(IDC_COM10, "Button", "COM10", BS_AUTORADIOBUTTON, 192, 52, 36, 10, 0)           \
    LAYOUT_CONTROL(IDC_COM11, "Button", "COM11", BS_AUTORADIOBUTTON, 248, 52, 36, 10, 0)           \
    LAYOUT_CONTROL(IDC_COM12, "Button", "COM12", BS_AUTORADIOBUTTON, 304, 52, 36, 10, 0)           \
    LAYOUT_CONTROL(IDC_STATIC, "Button", "Instructions: ", WS_GROUP | BS_GROUPBOX, 12, 80, 348,    \
                   116, 0)                                                                         \
    LAYOUT_CONTROL(IDC_INSTRUCTIONS, "Static", "Static", WS_GROUP | SS_LEFT, 28, 92, 320, 100, 0)  \
    LAYOUT_CONTROL(IDC_DETAILED_INSTRUCTIONS, "Button", "Detailed\nInstructions",                  \
                   WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE, 300, 168, 52, 22, 0)      \
    LAYOUT_CONTROL(IDC_STATIC, "Button", "Firmware Update Status: ", BS_GROUPBOX, 12, 208, 348,    \
                   76, 0)                                                                          \
    LAYOUT_CONTROL(IDC_FIRMWARE_FILE, "Static", "Firmware file  =", WS_GROUP | SS_LEFT, 20, 220,   \
                   328, 8, 0)                                                                      \
    LAYOUT_CONTROL(IDC_FIRMWARE_VERSION, "Static", "Firmware version  =", WS_GROUP | SS_LEFT, 20,  \
                   232, 328, 8, 0)                                                                 \
    LAYOUT_CONTROL(IDC_BOOTLOADER_VERSION, "Static", "Boot loader version  =", WS_GROUP | SS_LEFT, \
                   20, 244, 328, 8, 0)                                                             \
    LAYOUT_CONTROL(IDC_ROW_PROGRESS, "Static", "Sending hex file row  X  of  Y",                   \
                   WS_GROUP | SS_LEFT, 20, 256, 328, 8, 0)                                         \
    LAYOUT_CONTROL(IDC_UPDATE_RESULT, "Static", "Keystrand SM firmware update result",             \
                   WS_GROUP | SS_LEFT, 20, 268, 328, 12, 0)                                        \
    LAYOUT_CONTROL(IDC_SUPPORT_GROUP, "Button",                                                    \
                   "Fenmoor Support && Contact Information: ", BS_GROUPBOX, 12, 296, 348, 36, 0)   \
    LAYOUT_CONTROL(                                                                                \
        IDC_STATIC, "Static",                                                                      \
        "If you are having problems with this update, please contact technical support.",          \
        WS_GROUP | SS_LEFT, 20, 308, 260, 20, 0)                                                   \
    LAYOUT_CONTROL(IDC_CONTACT_INFO, "Button", "Contact Info",                                     \
                   WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, 300, 309, 52, 14, 0)                     \
    LAYOUT_CONTROL(IDC_REFRESH_PORTS, "Button", "Refresh Serial Ports",                            \
                   WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, 39, 340, 84, 14, 0)                      \
    LAYOUT_CONTROL(IDC_BEGIN_UPDATE, "Button", "Begin Update",                                     \
                   WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, 143, 340, 84, 14, 0)

#define ABOUT_DIALOG_CAPTION "About PRODUCT_NAME Update"
#define ABOUT_DIALOG_SIZE 319, 224
#define ABOUT_DIALOG_STYLE                                                                         \
    (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS)
#define ABOUT_DIALOG_EXSTYLE 0

#define ABOUT_DIALOG_CONTROLS                                                                      \
    LAYOUT_ICON(IDC_STATIC, IDR_MAINFRAME, SS_ICON, 27, 13, 20, 20)                                \
    LAYOUT_CONTROL(IDC_ABOUT_VERSION, "Static", "Version x.xx",                                    \
                   WS_GROUP | SS_CENTER | SS_NOPREFIX, 99, 18, 119, 8, 0)                          \
    LAYOUT_CONTROL(IDC_ABOUT_NOTICE, "Static", "Copyright", WS_GROUP | SS_CENTER, 51, 84, 216, 8,  \
                   0)                                                                              \
    LAYOUT_CONTROL(IDOK, "Button", "OK", WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 125, 200, 69,   \
                   16, 0)                                                                          \
    LAYOUT_CONTROL(IDC_STATIC, "Static", "All rights reserved.", WS_GROUP | SS_CENTER, 64, 94,     \
                   188, 8, 0)                                                                      \
    LAYOUT_CONTROL(IDC_ABOUT_TITLE, "Static", "PRODUCT_NAME", WS_GROUP | SS_CENTER, 64, 8, 188, 8, \
                   0)                                                                              \
    LAYOUT_CONTROL(IDC_ABOUT_RELEASED, "Static", "Released January 1, 2005", WS_GROUP | SS_CENTER, \
                   85, 28, 148, 8, 0)                                                              \
    LAYOUT_CONTROL(IDC_STATIC, "Static", "Contact information:", WS_GROUP | SS_LEFT, 76, 120, 84,  \
                   8, 0)                                                                           \
    LAYOUT_CONTROL(IDC_ABOUT_CONTACT_LABELS, "Static",                                             \
                   "Phone:\nFAX:\nEmail:\nWeb:\nHours:\nAddress:", WS_GROUP | SS_LEFT, 88, 128,    \
                   38, 58, 0)                                                                      \
    LAYOUT_CONTROL(IDC_ABOUT_CONTACT, "RichEdit20A", "", ES_LEFT | ES_MULTILINE | ES_READONLY,     \
                   126, 128, 184, 60, WS_EX_TRANSPARENT)                                           \
    LAYOUT_CONTROL(IDC_ABOUT_USAGE, "Static", "Static", WS_GROUP | SS_CENTER, 5, 46, 308, 28, 0)
