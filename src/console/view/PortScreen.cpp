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

std::vector<std::string> NamesOf(const PortBoard::Snapshot& snapshot, bool shownOnly) {
    std::vector<std::string> names;
    for (const PortBoard::PortState& p : snapshot.ports) {
        if (p.shown || !shownOnly) {
            names.push_back(p.name);
        }
    }
    return names;
}

// The state words take this many columns, so that the figures line up.
constexpr int kWordColumns = 11;

const char* const kReset = "\x1b[0m";

} // namespace

PrefixedLines::PrefixedLines(std::FILE* out, std::FILE* err, std::function<int()> width,
                             ScreenStyle style)
    : m_out(out), m_err(err), m_width(std::move(width)), m_style(style) {}

void PrefixedLines::writeLines(const PortBoard::Snapshot& snapshot) {
    // Every port's name, shown or not, so that a port's lines keep their place as others come.
    const std::vector<std::string> names = NamesOf(snapshot, false);
    if (names != m_names) {
        m_names = names;
        m_prefixes = Padded(names, ":");
    }
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

int PrefixedLines::newlyFinished(const PortBoard::Snapshot& snapshot) {
    m_endsSeen.resize(snapshot.ports.size(), 0);
    int count = 0;
    for (std::size_t i = 0; i < snapshot.ports.size(); ++i) {
        const PortBoard::PortState& p = snapshot.ports[i];
        if (p.finished && m_endsSeen[i] != p.run) {
            m_endsSeen[i] = p.run;
            count++;
        }
    }
    return count;
}

void PrefixedLines::ring(int finished) {
    if (finished > 0 && m_style.station && m_style.terminal) {
        std::fputs("\a", m_out);
        std::fflush(m_out);
    }
}

void PrefixedLines::show(const PortBoard::Snapshot& snapshot) {
    writeLines(snapshot);
    ring(newlyFinished(snapshot));
}

LiveLines::LiveLines(std::FILE* out, std::FILE* err, std::function<int()> width, ScreenStyle style)
    : PrefixedLines(out, err, std::move(width), style) {}

const char* LiveLines::StateWord(const PortBoard::PortState& state) {
    if (state.finished) {
        const int code = state.summary.exitCode;
        return code == kExitSuccess ? "updated" : code >= kExitSignalBase ? "stopped" : "failed";
    }
    return state.waiting ? "waiting" : StageWord(state.stage);
}

std::string LiveLines::LiveLine(const std::string& name, const PortBoard::PortState& state,
                                int width, bool station) {
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
        // Each figure whole or not at all; a failure's reason where it fits, its advice always.
        std::vector<std::string> fields;
        if (s.ran) {
            fields = {std::to_string(s.rowsSent) + "/" + std::to_string(s.totalRows) + " rows",
                      Seconds(s.elapsedMs)};
        }
        if (station && s.exitCode == kExitSuccess && !s.deviceSerial.empty() && !fields.empty()) {
            fields.front() = "serial " + s.deviceSerial + ", " + fields.front();
        } else if (station && s.exitCode != kExitSuccess && s.exitCode < kExitSignalBase) {
            const std::string reason = "unplug to retry: " + s.outcome;
            fields = {Columns(reason) < left ? reason : std::string("unplug to retry")};
        }
        tail = FieldsFitted(fields, left - 1);
    } else if (state.waiting) {
        tail = "plugged in";
    } else if (p.total > 0) {
        tail = left > 1 ? BarView::BarLine(p, left) : std::string();
    } else if (p.waitedMs >= 1000) {
        tail = FieldsFitted({"silent for " + std::to_string(p.waitedMs / 1000) + " s"}, left - 1);
    }
    return Fitted(head + tail, columns);
}

std::string LiveLines::Marked(const std::string& line, const std::string& name,
                              const PortBoard::PortState& state) {
    if (!state.finished) {
        return line;
    }
    const int code = state.summary.exitCode;
    const char* colour = code == kExitSuccess      ? "\x1b[1;7;32m"
                         : code >= kExitSignalBase ? "\x1b[1;7;33m"
                                                   : "\x1b[1;7;31m";
    const std::string word = StateWord(state);
    const std::size_t at = name.size() + 2;
    if (line.size() < at + word.size() || line.compare(at, word.size(), word) != 0) {
        return line;
    }
    return line.substr(0, at) + colour + word + kReset + line.substr(at + word.size());
}

void LiveLines::show(const PortBoard::Snapshot& snapshot) {
    const int width = m_width();
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < snapshot.ports.size(); ++i) {
        if (snapshot.ports[i].shown) {
            shown.push_back(i);
        }
    }
    const std::vector<std::string> names = Padded(NamesOf(snapshot, true), "");
    std::string block;
    int lines = 0;
    for (std::size_t n = 0; n < shown.size(); ++n) {
        const PortBoard::PortState& state = snapshot.ports[shown[n]];
        std::string line = LiveLine(names[n], state, width, m_style.station);
        block += (m_style.station ? Marked(line, names[n], state) : line) + "\n";
        lines++;
    }
    std::string::size_type at = 0;
    while (at < snapshot.footer.size()) {
        std::string::size_type end = snapshot.footer.find('\n', at);
        end = end == std::string::npos ? snapshot.footer.size() : end;
        block += Fitted(snapshot.footer.substr(at, end - at), (width > 0 ? width : 80) - 1) + "\n";
        lines++;
        at = end + 1;
    }
    const int ended = newlyFinished(snapshot);
    if (snapshot.lines.empty() && snapshot.droppedLines == 0 && block == m_block) {
        return;
    }
    // Back to the block's first line; new lines take its place and the block goes below them.
    if (m_blockLines > 0) {
        std::fprintf(m_out, "\x1b[%dA\r", m_blockLines);
    }
    if (!snapshot.lines.empty() || snapshot.droppedLines > 0 || lines < m_blockLines) {
        std::fputs("\x1b[J", m_out);
        std::fflush(m_out);
        writeLines(snapshot);
    }
    std::fputs(block.c_str(), m_out);
    std::fflush(m_out);
    m_block = block;
    m_blockLines = lines;
    ring(ended);
}

} // namespace console
