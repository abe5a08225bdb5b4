// The texts of the dialog's update outcomes, put together from their fixed pieces.
#include "ui/UpdateMessages.h"

#include "base/ProductNames.h"
#include "ui/ContactInfo.h"
#include "ui/UpdateDlg.h"

namespace {

using update::Awaited;
using update::Failure;

// The two phrases of each handshake character: another character, and none in time.
struct HandshakePhrases {
    Awaited awaited;
    const char* wrong;
    const char* timeout;
};

const HandshakePhrases kHandshakePhrases[] = {
    {Awaited::kReady, "Invalid ready response from the ", "No ready response from the "},
    {Awaited::kXon, "Invalid XON response from the ",
     "Timeout waiting for XON character from the "},
    {Awaited::kXoff, "Invalid XOFF response from the ",
     "Timeout waiting for XOFF character from the "},
    {Awaited::kLineComplete, "Invalid line complete response from the ",
     "Timeout waiting for line complete character from the "},
    {Awaited::kFileComplete, "Invalid file complete response from the ",
     "Timeout waiting for file complete character from the "},
};

std::string DeviceFailure(const char* phrase) {
    return std::string(phrase) + DEVICE_NAME ".     ";
}

} // namespace

std::string TransferFailureBody() {
    std::string body;
    body += "\n\n";
    body += "Firmware update terminated.\n";
    body += "\n";
    body += "If some of the hex file was transferred, the firmware in the ";
    body += DEVICE_NAME;
    body += " may be corrupt.     \n";
    body += "\n";
    body += "You should retry the firmware update procedure.\n";
    body += "\n";
    body += "If you continue to have problems, contact " COMPANY_NAME " for support.\n";
    body += "     Office hours: " CONTACT_HOURS "\n";
    body += "     Phone: " CONTACT_PHONE "\n";
    body += "     Email: " CONTACT_EMAIL "\n";
    body += "     Web: " CONTACT_WEB "\n";
    body += "\n";
    return body;
}

std::string TransferFailureMessage(const update::Outcome& outcome, const std::string& hexFileName) {
    switch (outcome.failure) {
    case Failure::kNoVersion:
        return DeviceFailure("No response from the ");
    case Failure::kWrongVersion:
        return DeviceFailure("Invalid version response from the ");
    case Failure::kNoAnswer:
    case Failure::kWrongAnswer:
        for (const HandshakePhrases& p : kHandshakePhrases) {
            if (p.awaited == outcome.awaited) {
                return DeviceFailure(outcome.failure == Failure::kNoAnswer ? p.timeout : p.wrong);
            }
        }
        return DeviceFailure("No response from the ");
    case Failure::kHexOpen:
        return "Unable to open the hex file " + hexFileName + "     ";
    case Failure::kHexRead:
        return "Unable to read the firmware hex file.     ";
    case Failure::kPackage:
    case Failure::kHexInvalid:
        if (outcome.package.kind == update::HexFileProblem::Kind::kReadFailed) {
            return "Unable to read the firmware hex file.     ";
        }
        if (outcome.package.kind == update::HexFileProblem::Kind::kCannotOpen) {
            return "Unable to open the hex file " + hexFileName + "     ";
        }
        return "Invalid data in hex file.     ";
    case Failure::kNone:
    case Failure::kPortOpen:
    case Failure::kNoIdentity:
    case Failure::kNoRestart:
    case Failure::kStopped:
        break;
    }
    // Not a failure of the transfer: said plainly rather than dressed as a device's answer.
    return "The firmware update stopped.     ";
}

std::string EntryFailureResult(const update::Outcome& outcome) {
    const char* phrase =
        outcome.failure == Failure::kNoIdentity ? "Cannot find a " : "Invalid response from the ";
    return std::string(phrase) + DEVICE_NAME ".";
}
