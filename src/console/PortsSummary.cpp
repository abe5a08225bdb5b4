// The table at the end of several updates at once, and their one exit code.
#include "console/PortsSummary.h"

#include <algorithm>
#include <cstdio>

#include "console/ExitCodes.h"

namespace console {

namespace {

// Higher is worse.
int Severity(int code) {
    if (code >= kExitSignalBase) {
        return 100 + code;
    }
    switch (code) {
    case kExitSuccess:
        return 0;
    case kExitOther:
        return 90;
    default:
        return code; // 6 transfer, 5 device entry, 4 port, 3 package, 2 usage
    }
}

std::string Padded(const std::string& text, std::size_t columns) {
    return text.size() < columns ? text + std::string(columns - text.size(), ' ') : text;
}

} // namespace

std::string Seconds(DWORD ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

int WorstExitCode(const std::vector<int>& codes) {
    int worst = kExitSuccess;
    for (const int code : codes) {
        if (Severity(code) > Severity(worst)) {
            worst = code;
        }
    }
    return worst;
}

std::vector<std::string> SummaryTable(const std::vector<PortSummary>& ports) {
    std::vector<std::vector<std::string>> cells = {{"Port", "Rows", "Time", "Outcome"}};
    std::vector<int> codes;
    int updated = 0;
    for (const PortSummary& p : ports) {
        cells.push_back(
            {p.name, p.ran ? std::to_string(p.rowsSent) + "/" + std::to_string(p.totalRows) : "-",
             p.ran ? Seconds(p.elapsedMs) : "-", p.outcome});
        codes.push_back(p.exitCode);
        updated += p.exitCode == kExitSuccess ? 1 : 0;
    }
    std::size_t widths[3] = {0, 0, 0};
    for (const auto& row : cells) {
        for (std::size_t c = 0; c < 3; ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    std::vector<std::string> lines;
    for (const auto& row : cells) {
        lines.push_back(Padded(row[0], widths[0] + 2) + Padded(row[1], widths[1] + 2) +
                        Padded(row[2], widths[2] + 2) + row[3]);
    }
    lines.push_back(std::to_string(updated) + " of " + std::to_string(ports.size()) +
                    (ports.size() == 1 ? " device" : " devices") + " updated; exit code " +
                    std::to_string(WorstExitCode(codes)) + ".");
    return lines;
}

} // namespace console
