// The console's words for where an update stands: one table for the live lines and the stops.
#pragma once
#include "update/UpdateOutcome.h"

namespace console {

// One word for the live line of a port: "opening", "identifying", "sending", "updated"...
const char* StageWord(update::Stage stage);

// Where an update that waited at this stage stood, as the end of a sentence: "while waiting
// for the boot loader's version"; null for the stages of the transfer, which are told by row.
const char* WaitingPhrase(update::Stage stage);

} // namespace console
