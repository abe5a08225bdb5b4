// Bounded log of the device's traffic and line events, and its one-line text form.
#include "sim/DeviceLog.h"

#include <cstdio>

#include "base/Printable.h"

namespace sim {

void DeviceLog::add(Micros time, LogKind kind, std::string text, Micros deliverAt) {
    LogEntry entry{time, deliverAt, kind, std::move(text)};
    if (m_listener) {
        m_listener(entry);
    }
    // Every entry costs at least a little, so that many empty ones cannot grow without bound.
    const std::size_t cost = entry.text.size() + 16;
    if (m_used + cost > m_cap) {
        if (m_dropped == 0) {
            m_entries.push_back(
                LogEntry{time, 0, LogKind::Event, "log full: later entries dropped"});
        }
        m_dropped++;
        return;
    }
    m_used += cost;
    m_entries.push_back(std::move(entry));
}

std::string DeviceLog::received() const {
    std::string out;
    for (const auto& e : m_entries) {
        if (e.kind == LogKind::Received) {
            out += e.text;
        }
    }
    return out;
}

std::string DeviceLog::sent() const {
    std::string out;
    for (const auto& e : m_entries) {
        if (e.kind == LogKind::Sent) {
            out += e.text;
        }
    }
    return out;
}

std::vector<std::string> DeviceLog::events() const {
    std::vector<std::string> out;
    for (const auto& e : m_entries) {
        if (e.kind == LogKind::Event) {
            out.push_back(e.text);
        }
    }
    return out;
}

bool DeviceLog::hasEvent(const std::string& words) const {
    for (const auto& e : m_entries) {
        if (e.kind == LogKind::Event && e.text.find(words) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string DeviceLog::Format(const LogEntry& entry) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "[%10llu.%03llu ms] ",
                  static_cast<unsigned long long>(entry.time / 1000),
                  static_cast<unsigned long long>(entry.time % 1000));
    std::string line = stamp;
    switch (entry.kind) {
    case LogKind::Received:
        line += "rx " + base::Quoted(entry.text);
        break;
    case LogKind::Sent: {
        line += "tx " + base::Quoted(entry.text);
        char until[48];
        std::snprintf(until, sizeof until, " (readable at %llu.%03llu ms)",
                      static_cast<unsigned long long>(entry.deliverAt / 1000),
                      static_cast<unsigned long long>(entry.deliverAt % 1000));
        line += until;
        break;
    }
    case LogKind::Event:
        line += "-- " + entry.text;
        break;
    }
    return line;
}

} // namespace sim
