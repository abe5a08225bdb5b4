// The dialog's words for the outcomes of an update: result lines and message-box texts.
#pragma once
#include <string>

#include "update/UpdateOutcome.h"

// The failure body that follows every failure message of the transfer: what happened, what the
// user should do, and whom to call.
std::string TransferFailureBody();

// The message of a failed transfer (or of the package check before it), without the body:
// the device phrases end in the device name and ".     "; the file ones name the file.
std::string TransferFailureMessage(const update::Outcome& outcome, const std::string& hexFileName);

// The result line of a failed boot-loader entry: "Cannot find a Keystrand SM." or
// "Invalid response from the Keystrand SM.".
std::string EntryFailureResult(const update::Outcome& outcome);
