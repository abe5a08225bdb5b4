// The board that several updates' threads write to and one thread draws from.
#include "console/view/PortBoard.h"

namespace console {

PortBoard::PortBoard(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        m_ports.emplace_back();
        m_ports.back().name = name;
        m_ports.back().run = 1;
    }
    m_partial.resize(m_ports.size());
}

void PortBoard::addLine(std::size_t port, bool toErr, const std::string& text) {
    if (m_lines.size() >= kMaxWaitingLines) {
        m_dropped++;
        return;
    }
    m_lines.push_back({port, toErr, text});
}

void PortBoard::endPartial(std::size_t port) {
    std::string& partial = m_partial.at(port);
    if (!partial.empty()) {
        addLine(port, false, partial);
        partial.clear();
    }
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
    endPartial(port);
    for (const std::string& line : report) {
        addLine(port, summary.exitCode != 0, line);
    }
    PortState& p = m_ports.at(port);
    p.finished = true;
    p.summary = summary;
}

void PortBoard::errorLine(std::size_t port, const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    endPartial(port);
    addLine(port, true, line.substr(0, kMaxLineLength));
}

std::size_t PortBoard::add(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.emplace_back();
    m_ports.back().name = name;
    m_ports.back().shown = false;
    m_partial.emplace_back();
    return m_ports.size() - 1;
}

void PortBoard::waiting(std::size_t port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortState& p = m_ports.at(port);
    PortState fresh; // the last update's end belongs to the plug before
    fresh.name = p.name;
    fresh.run = p.run;
    fresh.waiting = true;
    p = fresh;
}

void PortBoard::begin(std::size_t port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    endPartial(port);
    PortState& p = m_ports.at(port);
    PortState fresh;
    fresh.name = p.name;
    fresh.run = p.run + 1;
    p = fresh;
}

void PortBoard::hide(std::size_t port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.at(port).shown = false;
}

void PortBoard::setFooter(const std::string& footer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_footer = footer;
}

PortBoard::Snapshot PortBoard::take() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Snapshot s;
    s.lines.swap(m_lines);
    s.droppedLines = m_dropped;
    m_dropped = 0;
    s.ports = m_ports;
    s.footer = m_footer;
    s.allFinished = true;
    for (const PortState& p : m_ports) {
        s.allFinished = s.allFinished && p.finished;
    }
    return s;
}

} // namespace console
