// The board that several updates' threads write to and one thread draws from.
#include "console/view/PortBoard.h"

namespace console {

PortBoard::PortBoard(std::size_t ports) : m_ports(ports), m_partial(ports) {}

void PortBoard::addLine(std::size_t port, bool toErr, const std::string& text) {
    if (m_lines.size() >= kMaxWaitingLines) {
        m_dropped++;
        return;
    }
    m_lines.push_back({port, toErr, text});
}

void PortBoard::text(std::size_t port, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string& partial = m_partial.at(port);
    for (const char c : text) {
        if (c == '\n' || partial.size() >= kMaxLineLength) {
            addLine(port, false, partial);
            partial.clear();
        }
        if (c != '\n') {
            partial += c;
        }
    }
}

void PortBoard::stage(std::size_t port, update::Stage stage) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortState& p = m_ports.at(port);
    p.stage = stage;
    p.progress.waitedMs = 0; // a new step: the silence of the last one is over
}

void PortBoard::progress(std::size_t port, const RunView::Progress& progress) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.at(port).progress = progress;
}

void PortBoard::finished(std::size_t port, const PortSummary& summary,
                         const std::vector<std::string>& report) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string& partial = m_partial.at(port);
    if (!partial.empty()) {
        addLine(port, false, partial);
        partial.clear();
    }
    for (const std::string& line : report) {
        addLine(port, summary.exitCode != 0, line);
    }
    PortState& p = m_ports.at(port);
    p.finished = true;
    p.summary = summary;
}

PortBoard::Snapshot PortBoard::take() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Snapshot s;
    s.lines.swap(m_lines);
    s.droppedLines = m_dropped;
    m_dropped = 0;
    s.ports = m_ports;
    s.allFinished = true;
    for (const PortState& p : m_ports) {
        s.allFinished = s.allFinished && p.finished;
    }
    return s;
}

} // namespace console
