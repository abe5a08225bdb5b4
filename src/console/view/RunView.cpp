// The run's views: notes, a progress bar fitted to the terminal, or plain lines.
#include "console/view/RunView.h"

#include <algorithm>
#include <vector>

#include "console/words/Text.h"

namespace console {

namespace {

std::string Percent(int row, int total) {
    const int percent = total > 0 ? static_cast<int>(100LL * row / total) : 0;
    std::string text = std::to_string(percent) + "%";
    return std::string(text.size() < 4 ? 4 - text.size() : 0, ' ') + text;
}

std::string MinutesSeconds(std::uint32_t seconds) {
    const std::uint32_t s = seconds % 60;
    return std::to_string(seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
}

// The part after the row count: "  25%  52 rows/s  0:05 left", or the silence of the device in
// its place. Both take the same columns, so that the bar keeps its length.
constexpr int kStateColumns = 28;

// The figures after the row count, the most needed first: percentage, rate, time left; or how
// long the device has been silent, in a long and a short form.
std::vector<std::string> Figures(const RunView::Progress& p) {
    if (p.waitedMs >= 1000) {
        const std::string seconds = std::to_string(p.waitedMs / 1000) + " s";
        return {std::string("waiting for the device") + Ellipsis() + " " + seconds,
                "silent " + seconds};
    }
    std::string rate = "-- rows/s";
    std::string left = "--:-- left";
    const std::uint32_t ms = p.now - p.firstRowTick;
    if (p.row >= 2 && ms > 0) {
        const double perSecond = (p.row - 1) * 1000.0 / ms;
        rate = std::to_string(static_cast<long>(perSecond + 0.5)) + " rows/s";
        left = MinutesSeconds(static_cast<std::uint32_t>((p.total - p.row) / perSecond + 0.5)) +
               " left";
    }
    return {Percent(p.row, p.total), rate, left};
}

// The figures joined, all of them ("  25%  52 rows/s  0:05 left"), or while the device is
// silent its long form only; padded to the same columns either way, so that a bar before them
// keeps its length.
std::string State(const RunView::Progress& p) {
    const std::vector<std::string> f = Figures(p);
    return PaddedRight(p.waitedMs >= 1000 ? f[0] : f[0] + "  " + f[1] + "  " + f[2], kStateColumns);
}

std::string OneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

RunView::RunView(std::FILE* out, base::Clock& clock)
    : m_out(out), m_clock(clock), m_start(clock.getTickCount()) {}

void RunView::packageChecked(const update::HexFileSummary& summary) {
    m_dataBytes = summary.dataBytes;
    m_progress.total = summary.rows; // shown while the device is awaited, before any row
}

void RunView::modemStatus(bool statusRead, bool dsrOn) {
    m_modemStatusRead = statusRead;
    m_dsrOn = dsrOn;
    if (!statusRead) {
        note("The modem status of this line cannot be read (no DSR): the boot loader is "
             "assumed to be running.");
    } else if (dsrOn) {
        note("DSR is on: the application firmware runs; asking it to restart into its boot "
             "loader.");
    } else {
        note("DSR is off: the boot loader is assumed to be running.");
    }
}

void RunView::waitStarted(update::Stage, std::uint32_t) {
    m_waitStart = m_clock.getTickCount();
    m_waiting = true;
    m_progress.waitedMs = 0;
}

void RunView::bootLoaderVersion(const std::string& version) {
    note("Boot loader version " + version);
}

void RunView::rowSent(int row, int total, std::size_t) {
    m_waiting = false;
    m_progress.row = row;
    m_progress.total = total;
    m_progress.waitedMs = 0;
    if (row == 1) {
        m_progress.firstRowTick = m_clock.getTickCount();
    }
    update(true);
}

void RunView::idle() {
    if (m_waiting) {
        update(false);
    }
}

void RunView::update(bool rowSent) {
    m_progress.now = m_clock.getTickCount();
    m_progress.waitedMs = m_waiting ? m_progress.now - m_waitStart : 0;
    if (rowSent || m_progress.waitedMs >= kSilenceShownMs) {
        drawProgress(m_progress, rowSent && m_progress.row == m_progress.total);
    }
}

void RunView::note(const std::string& line) {
    endProgress();
    const int columns = noteColumns();
    write((columns > 0 ? Wrapped(line, columns) : line) + "\n");
}

void RunView::write(const std::string& text) {
    std::fputs(text.c_str(), m_out);
    std::fflush(m_out);
}

void RunView::finish(bool succeeded) {
    endProgress();
    if (succeeded) {
        note(Summary(m_progress.row, m_dataBytes, m_clock.getTickCount() - m_start));
    }
}

std::string RunView::Summary(int rows, long dataBytes, std::uint32_t elapsedMs) {
    const double seconds = elapsedMs / 1000.0;
    const long rate = seconds > 0 ? static_cast<long>(rows / seconds + 0.5) : 0;
    return std::to_string(rows) + " rows, " + std::to_string(dataBytes) + " data bytes in " +
           OneDecimal(seconds) + " s, " + std::to_string(rate) + " rows/s";
}

BarView::BarView(std::FILE* out, base::Clock& clock, std::function<int()> width, bool eraseToEnd)
    : RunView(out, clock), m_width(std::move(width)), m_eraseToEnd(eraseToEnd) {}

std::string BarView::BarLine(const Progress& p, int width) {
    if (width <= 0) {
        width = 80;
    }
    const int columns = std::max(width - 1, 1);
    // The row count takes the total's width twice, so that the bar keeps its length.
    const std::string total = std::to_string(p.total);
    std::string count = std::to_string(p.row) + "/" + total;
    count =
        std::string(count.size() < 2 * total.size() + 1 ? 2 * total.size() + 1 - count.size() : 0,
                    ' ') +
        count;
    count += " rows";
    const std::string tail = count + "  " + State(p);
    const int inside = columns - Columns(tail) - 3;
    if (inside >= kNarrowestBar) {
        const int filled =
            p.total > 0 ? static_cast<int>(static_cast<long long>(inside) * p.row / p.total) : 0;
        return "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(inside - filled), '.') + "] " + tail;
    }
    // No room for the bar: the row count in its longest form that fits, then the figures that
    // fit whole, the least needed dropped first (the silent device's long form before its short
    // one). Padded to the width: the line always has the same width.
    std::vector<std::string> fields;
    const std::string bare = std::to_string(p.row) + "/" + total;
    for (const std::string& form : {count, count.substr(0, count.size() - 5), bare}) {
        if (Columns(form) <= columns) {
            fields.push_back(form);
            break;
        }
    }
    std::vector<std::string> figures = Figures(p);
    if (p.waitedMs >= 1000) {
        const std::string with = fields.empty() ? figures[0] : fields[0] + "  " + figures[0];
        figures = {Columns(with) <= columns ? figures[0] : figures[1]};
    }
    if (!fields.empty()) {
        fields.insert(fields.end(), figures.begin(), figures.end());
    }
    return FieldsFitted(fields, columns);
}

void BarView::drawProgress(const Progress& progress, bool lastRow) {
    m_latest = progress;
    m_behind = true;
    if (m_drawn && !lastRow && progress.now - m_lastDraw < kRedrawMs) {
        return; // drawn at the next chance, or when the bar ends
    }
    draw();
}

void BarView::draw() {
    m_behind = false;
    const std::string line = BarLine(m_latest, m_width());
    if (m_drawn && line == m_lastLine) {
        return;
    }
    // After a shrink of the window, what the longer line left beyond the new width goes too.
    write("\r" + line + (m_eraseToEnd ? "\x1b[K" : ""));
    m_drawn = true;
    m_lastDraw = m_latest.now;
    m_lastLine = line;
}

int BarView::noteColumns() {
    const int width = m_width();
    return width > 0 ? width : 80;
}

void BarView::endProgress() {
    if (m_drawn) {
        if (m_behind) {
            draw(); // the bar ends showing where the update stands
        }
        write("\n");
        m_drawn = false;
    }
}

void LineView::drawProgress(const Progress& p, bool lastRow) {
    if (p.waitedMs >= kSilenceShownMs) {
        if (!m_silenceShown) {
            m_silenceShown = true;
            write(std::string("waiting for the device") + Ellipsis() + "\n");
        }
        return;
    }
    m_silenceShown = false;
    const int tenth = p.total > 0 ? static_cast<int>(10LL * p.row / p.total) : 0;
    if (tenth == m_lastTenth && !lastRow) {
        return;
    }
    m_lastTenth = tenth;
    write("Row " + std::to_string(p.row) + " of " + std::to_string(p.total) + " (" +
          std::to_string(p.total > 0 ? 100LL * p.row / p.total : 0) + "%)\n");
}

} // namespace console
