// The device's bounded record of what it received and sent and of what happened on its line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

// Time on the device's clock, in microseconds from the transport's start.
using Micros = std::uint64_t;

enum class LogKind {
    Received, // bytes the program wrote, at the time the device saw them
    Sent,     // bytes the device put on the line; deliverAt is when the last becomes readable
    Event,    // a line or device event in words
};

struct LogEntry {
    Micros time = 0;
    Micros deliverAt = 0;
    LogKind kind = LogKind::Event;
    std::string text;
};

// Keeps entries until their text adds up to the cap, then only counts what it drops (a marker
// event says so). A listener, when set, sees every entry, kept or not.
class DeviceLog {
public:
    explicit DeviceLog(std::size_t capBytes = 4u << 20) : m_cap(capBytes) {}

    void add(Micros time, LogKind kind, std::string text, Micros deliverAt = 0);
    void setListener(std::function<void(const LogEntry&)> listener) {
        m_listener = std::move(listener);
    }

    const std::vector<LogEntry>& entries() const { return m_entries; }
    bool truncated() const { return m_dropped > 0; }
    std::size_t dropped() const { return m_dropped; }
    // Every kept received byte, in order; every kept sent byte, in order; the kept events.
    std::string received() const;
    std::string sent() const;
    std::vector<std::string> events() const;
    // True when some kept event contains the given words.
    bool hasEvent(const std::string& words) const;

    // One line: "[   12.345 ms] rx \"#&!KYST-SM35\"", with control characters escaped.
    static std::string Format(const LogEntry& entry);

private:
    std::size_t m_cap;
    std::size_t m_used = 0;
    std::size_t m_dropped = 0;
    std::vector<LogEntry> m_entries;
    std::function<void(const LogEntry&)> m_listener;
};

} // namespace sim
