// Drawing several updates at once: prefixed lines, or live lines on a terminal.
#include "console/view/PortScreen.h"

#include <algorithm>

#include "console/words/ExitCodes.h"
#include "console/words/StageWords.h"
#include "console/words/Text.h"

namespace console {

namespace {

// The names padded to the widest, each after the suffix.
std::vector<std::string> Padded(const std::vector<std::string>& names, const std::string& suffix) {
    int widest = 0;
    for (const std::string& n : names) {
        widest = std::max(widest, Columns(n + suffix));
    }
    std::vector<std::string> padded;
    for (const std::string& n : names) {
        padded.push_back(Fitted(n + suffix, widest));
    }
    return padded;
}

// The state words take this many columns, so that the figures line up.
constexpr int kWordColumns = 11;

} // namespace

PrefixedLines::PrefixedLines(std::FILE* out, std::FILE* err, const std::vector<std::string>& names,
                             std::function<int()> width)
    : m_out(out), m_err(err), m_prefixes(Padded(names, ":")), m_width(std::move(width)) {}

void PrefixedLines::writeLines(const PortBoard::Snapshot& snapshot) {
    const int width = m_width();
    for (const PortBoard::Line& line : snapshot.lines) {
        std::FILE* to = line.toErr ? m_err : m_out;
        const std::string& prefix = m_prefixes.at(line.port);
        const int indent = Columns(prefix) + 1;
        std::string text = width > indent + 20 ? Wrapped(line.text, width - indent) : line.text;
        for (std::string::size_type at = text.find('\n'); at != std::string::npos;
             at = text.find('\n', at + 1)) {
            text.insert(at + 1, static_cast<std::size_t>(indent), ' ');
        }
        std::fputs((prefix + " " + text + "\n").c_str(), to);
        std::fflush(to);
    }
    if (snapshot.droppedLines > 0) {
        std::fputs(("(" + std::to_string(snapshot.droppedLines) +
                    " lines not shown: the output was not read in time)\n")
                       .c_str(),
                   m_out);
        std::fflush(m_out);
    }
}

void PrefixedLines::show(const PortBoard::Snapshot& snapshot) {
    writeLines(snapshot);
}

LiveLines::LiveLines(std::FILE* out, std::FILE* err, const std::vector<std::string>& names,
                     std::function<int()> width)
    : PrefixedLines(out, err, names, std::move(width)), m_names(Padded(names, "")) {}

const char* LiveLines::StateWord(const PortBoard::PortState& state) {
    if (state.finished) {
        const int code = state.summary.exitCode;
        return code == kExitSuccess ? "updated" : code >= kExitSignalBase ? "stopped" : "failed";
    }
    return StageWord(state.stage);
}

std::string LiveLines::LiveLine(const std::string& name, const PortBoard::PortState& state,
                                int width) {
    if (width <= 0) {
        width = 80;
    }
    const RunView::Progress& p = state.progress;
    const int columns = width - 1;
    // A name wider than the line is cut with a mark, never passed off as a shorter name.
    std::string shownName = name;
    const int mark = Columns(Ellipsis());
    if (Columns(name) > columns) {
        shownName = columns > mark ? Fitted(name, columns - mark) + Ellipsis() : std::string();
    }
    const std::string word = Fitted(StateWord(state), kWordColumns);
    const std::string head = shownName + "  " + word + "  ";
    if (Columns(head) > columns) {
        return FieldsFitted({shownName, word}, std::max(columns, 0));
    }
    const int left = width - Columns(head);
    std::string tail;
    if (state.finished) {
        const PortSummary& s = state.summary;
        tail = s.ran ? FieldsFitted({std::to_string(s.rowsSent) + "/" +
                                         std::to_string(s.totalRows) + " rows",
                                     Seconds(s.elapsedMs)},
                                    left - 1)
                     : std::string();
    } else if (p.total > 0) {
        tail = left > 1 ? BarView::BarLine(p, left) : std::string();
    } else if (p.waitedMs >= 1000) {
        tail = FieldsFitted({"silent for " + std::to_string(p.waitedMs / 1000) + " s"}, left - 1);
    }
    return Fitted(head + tail, columns);
}

void LiveLines::show(const PortBoard::Snapshot& snapshot) {
    const int width = m_width();
    std::string block;
    for (std::size_t i = 0; i < snapshot.ports.size(); ++i) {
        block += LiveLine(m_names.at(i), snapshot.ports[i], width) + "\n";
    }
    if (snapshot.lines.empty() && snapshot.droppedLines == 0 && block == m_block) {
        return;
    }
    // Back to the block's first line; new lines take its place and the block goes below them.
    if (m_blockLines > 0) {
        std::fprintf(m_out, "\x1b[%dA\r", m_blockLines);
    }
    if (!snapshot.lines.empty() || snapshot.droppedLines > 0) {
        std::fputs("\x1b[J", m_out);
        std::fflush(m_out);
        writeLines(snapshot);
    }
    std::fputs(block.c_str(), m_out);
    std::fflush(m_out);
    m_block = block;
    m_blockLines = static_cast<int>(snapshot.ports.size());
}

} // namespace console
