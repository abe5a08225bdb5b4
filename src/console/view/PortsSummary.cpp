// The table at the end of several updates at once, and their one exit code.
#include "console/view/PortsSummary.h"

#include <algorithm>
#include <cstdio>

#include "console/words/ExitCodes.h"
#include "console/words/Text.h"

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

std::string Seconds(std::uint32_t ms) {
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

std::vector<std::string> SummaryTable(const std::vector<PortSummary>& ports, int columns,
                                      const EarlierUpdates& earlier) {
    std::vector<std::vector<std::string>> cells = {{"Port", "Rows", "Time", "Outcome"}};
    std::vector<int> codes = {earlier.worstExitCode};
    int updated = earlier.updated;
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
    if (earlier.count > 0) {
        lines.push_back(Wrapped("The first " + std::to_string(earlier.count) +
                                    " updates are in the records only:",
                                columns));
    }
    const std::size_t indent = widths[0] + widths[1] + widths[2] + 6;
    for (const auto& row : cells) {
        const int room = columns - static_cast<int>(indent);
        std::string outcome = room >= 20 ? Wrapped(row[3], room) : row[3];
        for (std::string::size_type at = outcome.find('\n'); at != std::string::npos;
             at = outcome.find('\n', at + 1)) {
            outcome.insert(at + 1, indent, ' ');
        }
        std::string line = Padded(row[0], widths[0] + 2) + Padded(row[1], widths[1] + 2) +
                           Padded(row[2], widths[2] + 2) + outcome;
        std::string::size_type end = 0;
        while ((end = line.find('\n')) != std::string::npos) {
            lines.push_back(line.substr(0, end));
            line.erase(0, end + 1);
        }
        lines.push_back(line);
    }
    const std::size_t total = ports.size() + static_cast<std::size_t>(earlier.count);
    lines.push_back(Wrapped(std::to_string(updated) + " of " + std::to_string(total) +
                                (total == 1 ? " device" : " devices") + " updated; exit code " +
                                std::to_string(WorstExitCode(codes)) + ".",
                            columns));
    return lines;
}

} // namespace console
