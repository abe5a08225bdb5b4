// serial::SerialPortLine: the dialog's CSerialPort as a line for the update engine, each
// operation carried out with the port's own calls, in the port's own order.
#pragma once
#include "base/Clock.h"
#include "serial/Line.h"
#include "serial/SerialPort.h"

namespace serial {

class SerialPortLine : public Line {
public:
    // COMn through the port; clock limits a read that waits, which polls as the port does.
    SerialPortLine(CSerialPort& port, int portNumber, base::Clock& clock);

    const std::string& name() const override { return m_name; }
    // Open(n, baud, N, 8, 1).
    bool open(std::uint32_t baud) override;
    void close() override { m_port.Close(); }
    // Reconfigure(baud, N, the digit 8), which purges the input.
    bool setSpeed(std::uint32_t baud) override;
    // WriteString: the text up to its first zero byte.
    bool write(const std::string& data) override;
    // BytesWaiting, then Read of what is asked when anything waits; a Read that gives nothing
    // though bytes wait is a failed read.
    int read(char* buffer, int max, std::uint32_t limitMs) override;
    bool purgeInput() override { return m_port.PurgeInput() != FALSE; }
    // GetModemStatus; unknown when it fails.
    Dsr dsr() override;
    base::SystemError lastError() const override { return m_port.LastError(); }

private:
    CSerialPort& m_port;
    int m_portNumber;
    std::string m_name;
    base::Clock& m_clock;
};

} // namespace serial
