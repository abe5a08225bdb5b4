// The dialog templates as data, from the same layout rows that the resource script compiles.
#include "ui/DialogTemplates.h"

#include "ui/resource.h"

namespace {

#define LAYOUT_CONTROL(id, cls, text, style, x, y, w, h, ex)                                       \
    {                                                                                              \
        id,                                                                                        \
        cls,                                                                                       \
        text,                                                                                      \
        0,                                                                                         \
        static_cast<DWORD>((style) | WS_CHILD | WS_VISIBLE),                                       \
        static_cast<DWORD>(ex),                                                                    \
        x,                                                                                         \
        y,                                                                                         \
        w,                                                                                         \
        h},
#define LAYOUT_ICON(id, icon, style, x, y, w, h)                                                   \
    {id, "Static", nullptr, icon, static_cast<DWORD>((style) | WS_CHILD | WS_VISIBLE),             \
     0,  x,        y,       w,    h},

#include "ui/DialogLayouts.h"

const fw::ControlTemplate kUpdateControls[] = {UPDATE_DIALOG_CONTROLS};
const fw::ControlTemplate kAboutControls[] = {ABOUT_DIALOG_CONTROLS};

const fw::DialogTemplate kTemplates[] = {
    {IDD_UPDATE_DIALOG, UPDATE_DIALOG_CAPTION, static_cast<DWORD>(UPDATE_DIALOG_STYLE),
     static_cast<DWORD>(UPDATE_DIALOG_EXSTYLE), UPDATE_DIALOG_SIZE, kUpdateControls,
     sizeof(kUpdateControls) / sizeof(kUpdateControls[0])},
    {IDD_ABOUTBOX, ABOUT_DIALOG_CAPTION, static_cast<DWORD>(ABOUT_DIALOG_STYLE),
     static_cast<DWORD>(ABOUT_DIALOG_EXSTYLE), ABOUT_DIALOG_SIZE, kAboutControls,
     sizeof(kAboutControls) / sizeof(kAboutControls[0])},
};

} // namespace

fw::DialogTemplateTable ProgramDialogTemplates() {
    return fw::DialogTemplateTable{kTemplates, sizeof(kTemplates) / sizeof(kTemplates[0])};
}
