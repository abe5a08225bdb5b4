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

// A program's templates, as its resources hold them: what it hands to a backend that builds its
// dialogs from data. The templates are the program's static data and outlive the table.
struct DialogTemplateTable {
    const DialogTemplate* templates = nullptr;
    std::size_t count = 0;

    // The template with this number; null when the table has none.
    const DialogTemplate* find(UINT templateId) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (templates[i].id == templateId) {
                return &templates[i];
            }
        }
        return nullptr;
    }
};

} // namespace fw
