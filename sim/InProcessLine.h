// The engine's serial line served in the same process by the device model, on a virtual clock.
#pragma once
#include "base/VirtualClock.h"
#include "serial/Line.h"
#include "sim/DeviceModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// A serial line with the device on its far end. The device sees the program's writes at once;
// its output becomes readable when the virtual clock reaches the time the device (its pacing,
// its delays) gives it. The clock is only looked at, except by a read that waits: that one polls
// the tick counter as the dialog's port does, so time passes as it does there.
//
// After a hangup fault every operation fails (DSR unknown, reads kReadFailed) until the line is
// opened again; closing still works. DSR is unknown too while the device's status fault makes
// the modem lines' read fail.
class InProcessLine : public serial::Line {
public:
    // The line `name`, present when it is one of `names` (the ports the device is on).
    InProcessLine(base::VirtualClock& clock, DeviceModel& device, std::string name = "COM3",
                  std::vector<std::string> names = {"COM3"});

    // Which names open; the others fail as ports that are not there.
    void setNames(std::vector<std::string> names) { m_names = std::move(names); }
    // The next n opens fail, as while another program holds the port.
    void failNextOpens(int n) { m_failOpens = n; }

    const std::string& name() const override { return m_name; }
    bool open(std::uint32_t baud) override;
    // Opens the line by another name, which it keeps from then on.
    bool open(const std::string& name, std::uint32_t baud);
    void close() override;
    bool setSpeed(std::uint32_t baud) override;
    bool write(const std::string& data) override;
    int read(char* buffer, int max, std::uint32_t limitMs) override;
    bool purgeInput() override;
    serial::Dsr dsr() override;
    base::SystemError lastError() const override { return m_error; }

    // Line settings as a port's control block carries them: parity 0 none, 2 even; stop bits 0
    // one. The input is left as it is. For the device's own checks of the line.
    bool frame(std::uint32_t baud, int byteSize, int parity, int stopBits);
    // DTR and RTS as given, while open.
    bool setControlLines(bool dtr, bool rts);
    // The characters readable now, without taking them.
    std::size_t waiting();

    bool isOpen() const { return m_open; }
    // The name of the last successful open ("" before any).
    const std::string& openName() const { return m_openName; }
    int openCount() const { return m_opens; }
    int failedOpenCount() const { return m_failedOpens; }
    int closeCount() const { return m_closes; }
    // Purges of the input, those of a change of speed included.
    int purgeCount() const { return m_purges; }
    // Every speed set, in order (the first 1024).
    const std::vector<std::uint32_t>& baudHistory() const { return m_baudHistory; }
    bool dtr() const { return m_dtr; }
    bool rts() const { return m_rts; }
    // The virtual time in microseconds since this line was made, across clock wrap.
    Micros nowMicros();

private:
    // Open and not hung up; otherwise the failure is recorded.
    bool usable();
    void settings(Micros now, std::uint32_t baud, int byteSize, int parity, int stopBits);
    bool refuse(base::SystemError::Cause cause);

    base::VirtualClock& m_clock;
    DeviceModel& m_device;
    std::string m_name;
    std::vector<std::string> m_names;
    int m_failOpens = 0;

    bool m_open = false;
    std::string m_openName;
    int m_opens = 0;
    int m_failedOpens = 0;
    int m_closes = 0;
    int m_purges = 0;
    bool m_dtr = false;
    bool m_rts = false;
    std::vector<std::uint32_t> m_baudHistory;
    base::SystemError m_error;

    std::uint32_t m_lastTick;
    unsigned long long m_elapsedMs = 0;
};

} // namespace sim
