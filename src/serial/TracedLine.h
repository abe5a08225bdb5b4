// serial::TracedLine: a log of one update's line: a header, every character said on the line with
// its time, the rows by number, and the outcome.
#pragma once
#include <cstdio>
#include <string>

#include "base/Clock.h"
#include "serial/Line.h"

namespace serial {

// A line decorator: every call passed on, its result returned, and one line per event: the
// seconds since the trace began, then
//   open /dev/ttyUSB0 at 9600 ok | open ... failed: <reason> | close | speed 115200 | purge
//   tx "<V" | tx row 12 ":10..." | rx "\rKYST-SM-00,123456" | dsr on | dsr off
//   dsr unknown (no modem status) | read failed: <reason> | write failed: <reason>
// Received characters are gathered into one rx line until anything else happens or 20 ms pass
// without one; every byte outside printable ASCII is escaped. DSR is logged when it changes. The
// rows of the HEX file are the writes that begin with a colon; they are numbered as they go.
class TracedLine : public Line {
public:
    TracedLine(Line& inner, base::Clock& clock);
    // Flushes and closes the log.
    ~TracedLine() override;
    TracedLine(const TracedLine&) = delete;
    TracedLine& operator=(const TracedLine&) = delete;

    // Creates (or empties) the log file and writes the header lines, each prefixed with "# ";
    // false when the file cannot be written.
    bool startLog(const std::string& path, const std::string& header);
    // One more line of the header, "# " and the line; what it says must be printable already.
    void note(const std::string& line);
    // The last line: "# outcome: ..."; the log is closed.
    void endLog(const std::string& outcome);

    const std::string& name() const override { return m_inner.name(); }
    bool open(std::uint32_t baud) override;
    void close() override;
    bool setSpeed(std::uint32_t baud) override;
    bool write(const std::string& data) override;
    int read(char* buffer, int max, std::uint32_t limitMs) override;
    void expect(std::size_t characters) override { m_inner.expect(characters); }
    bool purgeInput() override;
    Dsr dsr() override;
    base::SystemError lastError() const override { return m_inner.lastError(); }

private:
    void event(const std::string& what);
    void flushReceived();
    // One line of the trace: the time since the start, then what happened.
    void writeAt(std::uint32_t tick, const std::string& what);

    Line& m_inner;
    base::Clock& m_clock;
    std::FILE* m_log = nullptr;
    std::uint32_t m_start = 0;
    std::string m_received;
    std::uint32_t m_receivedTick = 0;
    std::uint32_t m_lastReceivedTick = 0;
    int m_dsr = -1; // serial::Dsr as last logged; -1 before the first read
    int m_rows = 0; // rows written so far
};

} // namespace serial
