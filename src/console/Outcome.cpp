// Classification of the update dialog's messages into exit codes, and their tidying for a console.
#include "console/Outcome.h"

#include "ui/UpdateDlg.h"

namespace console {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

ExitCode ExitCodeOfMessage(const std::string& caption, const std::string& text) {
    if (caption == "Firmware Update Complete") {
        return kExitSuccess;
    }
    if (caption == DEVICE_NAME " Update") {
        return kExitPackage; // the description file or the HEX file
    }
    if (StartsWith(text, "There are no serial ports installed")) {
        return kExitPort;
    }
    if (caption == "Firmware Update Error") {
        if (StartsWith(text, "Unable to open serial port")) {
            return kExitPort;
        }
        if (StartsWith(text, "Cannot find a ") || StartsWith(text, "Invalid response from the ")) {
            return kExitDeviceEntry;
        }
        // Everything after the switch to the boot loader: its answers, and the rows of the file.
        return kExitTransfer;
    }
    return kExitOther;
}

std::string TidyMessageText(const std::string& text) {
    std::string out;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        const std::string::size_type last = line.find_last_not_of(" \t\r");
        line.erase(last == std::string::npos ? 0 : last + 1);
        out += line;
        out += '\n';
        start = end + 1;
    }
    while (out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') {
        out.pop_back();
    }
    if (out == "\n") {
        out.clear();
    }
    return out;
}

} // namespace console
