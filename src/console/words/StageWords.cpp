// The table of stage words.
#include "console/words/StageWords.h"

namespace console {

namespace {

using update::Stage;

struct StageText {
    Stage stage;
    const char* word;
    const char* waiting;
};

const StageText kStages[] = {
    {Stage::kCheckingPackage, "opening", "before anything was sent"},
    {Stage::kOpeningPort, "opening", "before anything was sent"},
    {Stage::kProbing, "opening", "before anything was sent"},
    {Stage::kIdentifyingDevice, "identifying", "while waiting for the device's identity"},
    {Stage::kRestarting, "restarting",
     "while waiting for the device to restart into its boot loader"},
    {Stage::kSwitchingSpeed, "boot loader", "while waiting for the boot loader's version"},
    {Stage::kSettling, "boot loader", "while waiting for the boot loader's version"},
    {Stage::kIdentifyingBootLoader, "boot loader", "while waiting for the boot loader's version"},
    {Stage::kAwaitingReady, "preparing", "while waiting for the boot loader to get ready"},
    {Stage::kCountingRows, "preparing", "while waiting for the boot loader to get ready"},
    {Stage::kAwaitingXon, "sending", nullptr},
    {Stage::kAwaitingXoff, "sending", nullptr},
    {Stage::kAwaitingLineComplete, "sending", nullptr},
    {Stage::kAwaitingFileComplete, "sending", nullptr},
    {Stage::kDone, "updated", nullptr},
};

const StageText& Find(Stage stage) {
    for (const StageText& s : kStages) {
        if (s.stage == stage) {
            return s;
        }
    }
    return kStages[0];
}

} // namespace

const char* StageWord(Stage stage) {
    return Find(stage).word;
}

const char* WaitingPhrase(Stage stage) {
    return Find(stage).waiting;
}

} // namespace console
