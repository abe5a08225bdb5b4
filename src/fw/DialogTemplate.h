// A dialog template as data: what the host's dialog model is built from.
#pragma once
#include <cstddef>

#include "fw/WinTypes.h"

namespace fw {

struct ControlTemplate {
    int id;
    const char* className; // "Button", "Static", "RichEdit20A"
    const char* text;      // template text; for an icon, null and iconId set
    int iconId;
    DWORD style; // WS_CHILD and WS_VISIBLE included
    DWORD exStyle;
    int x, y, width, height; // dialog units
};

struct DialogTemplate {
    UINT id;
    const char* caption;
    DWORD style;
    DWORD exStyle;
    int width, height; // dialog units
    const ControlTemplate* controls;
    std::size_t controlCount;
};

// The program's own templates, as its resources hold them; null for an unknown number.
const DialogTemplate* FindDialogTemplate(UINT templateId);

} // namespace fw
