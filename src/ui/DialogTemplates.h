// The program's dialog templates as data, for a backend that builds dialogs from data (the host's
// dialog model); the Windows program takes the same templates from its resources.
#pragma once
#include "fw/DialogTemplate.h"

// The main dialog's and the About box's templates, from the same layout rows that the resource
// script compiles.
fw::DialogTemplateTable ProgramDialogTemplates();
