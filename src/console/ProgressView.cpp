// The console's view of an update: status lines as they change, the row progress and messages.
#include "console/ProgressView.h"

#include <cmath>

#include "console/Outcome.h"
#include "ui/resource.h"

namespace console {

namespace {

constexpr int kBarCells = 30;
constexpr DWORD kRedrawEveryMs = 100;

std::string TimeLeft(int rowsLeft, double rowsPerSecond) {
    if (rowsLeft <= 0) {
        return "0:00 left";
    }
    if (rowsPerSecond <= 0.0) {
        return "--:-- left";
    }
    const double estimate = std::ceil(rowsLeft / rowsPerSecond);
    if (estimate > 99.0 * 3600.0) {
        return "--:-- left";
    }
    const long seconds = static_cast<long>(estimate);
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld left", seconds / 3600,
                      (seconds / 60) % 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld left", seconds / 60, seconds % 60);
    }
    return text;
}

} // namespace

ProgressView::ProgressView(std::FILE* out, std::FILE* err, bool terminal, fw::Clock& clock)
    : m_out(out), m_err(err), m_terminal(terminal), m_clock(clock) {}

std::string ProgressView::ProgressFigures(int row, int total, double rowsPerSecond) {
    const int percent = total > 0 ? static_cast<int>(static_cast<long long>(row) * 100 / total) : 0;
    char text[96];
    if (rowsPerSecond > 0.0) {
        std::snprintf(text, sizeof text, "%d/%d rows  %3d%%  %.1f rows/s  ", row, total, percent,
                      rowsPerSecond);
    } else {
        std::snprintf(text, sizeof text, "%d/%d rows  %3d%%  -- rows/s  ", row, total, percent);
    }
    return text + TimeLeft(total - row, rowsPerSecond);
}

void ProgressView::itemText(int id, const std::string& text) {
    switch (id) {
    case IDC_ROW_PROGRESS: {
        if (text.empty()) {
            // A new update starts its progress afresh.
            endBar();
            m_lastTenth = -1;
            m_firstRow = -1;
            return;
        }
        int row = 0;
        int total = 0;
        if (std::sscanf(text.c_str(), "Sending hex file row %d of %d", &row, &total) == 2 &&
            total > 0) {
            progress(row, total);
            return;
        }
        note(text);
        return;
    }
    case IDC_FIRMWARE_FILE:
    case IDC_FIRMWARE_VERSION:
    case IDC_BOOTLOADER_VERSION:
    case IDC_UPDATE_RESULT: {
        std::string& shown = m_shown[id];
        if (text.empty()) {
            shown.clear();
            return;
        }
        if (text == shown) {
            return;
        }
        shown = text;
        std::string line = text;
        const std::string::size_type last = line.find_last_not_of(' ');
        line.erase(last == std::string::npos ? 0 : last + 1);
        note(line);
        return;
    }
    default:
        return;
    }
}

void ProgressView::progress(int row, int total) {
    const DWORD now = m_clock.getTickCount();
    if (m_firstRow < 0 || row < m_firstRow) {
        m_firstRow = row;
        m_firstTick = now;
    }
    const DWORD elapsed = now - m_firstTick;
    const double rate =
        elapsed > 0 && row > m_firstRow ? (row - m_firstRow) * 1000.0 / elapsed : 0.0;
    const std::string figures = ProgressFigures(row, total, rate);
    const int percent = static_cast<int>(static_cast<long long>(row) * 100 / total);

    if (!m_terminal) {
        const int tenth = percent / 10;
        if (tenth > m_lastTenth || row == total) {
            m_lastTenth = row == total ? 10 : tenth;
            std::fprintf(m_out, "Row progress  %s\n", figures.c_str());
            std::fflush(m_out);
        }
        return;
    }

    if (m_barDrawn && row != total && now - m_lastDraw < kRedrawEveryMs) {
        return;
    }
    m_lastDraw = now;
    const int filled = static_cast<int>(static_cast<long long>(row) * kBarCells / total);
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarCells - filled), '.');
    line += "]  " + figures;
    const std::size_t width = line.size();
    if (line.size() < m_barWidth) {
        line.append(m_barWidth - line.size(), ' ');
    }
    m_barWidth = width;
    std::fprintf(m_out, "\r%s", line.c_str());
    std::fflush(m_out);
    m_barDrawn = true;
    if (row == total) {
        endBar();
    }
}

void ProgressView::endBar() {
    if (m_barDrawn) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_barDrawn = false;
        m_barWidth = 0;
    }
}

void ProgressView::message(const std::string& caption, const std::string& text, bool failure) {
    endBar();
    std::FILE* to = failure ? m_err : m_out;
    std::fflush(m_out);
    std::fprintf(to, "%s:\n", caption.c_str());
    const std::string body = TidyMessageText(text);
    std::string::size_type start = 0;
    while (start < body.size()) {
        const std::string::size_type end = body.find('\n', start);
        const std::string line = body.substr(start, end - start);
        if (line.empty()) {
            std::fputc('\n', to);
        } else {
            std::fprintf(to, "    %s\n", line.c_str());
        }
        start = end == std::string::npos ? body.size() : end + 1;
    }
    std::fflush(to);
}

void ProgressView::note(const std::string& line) {
    endBar();
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

void ProgressView::error(const std::string& line) {
    endBar();
    std::fflush(m_out);
    std::fprintf(m_err, "%s\n", line.c_str());
    std::fflush(m_err);
}

void ProgressView::finish() {
    endBar();
}

} // namespace console
