// The dialog's port as the engine's line.
#include "serial/SerialPortLine.h"

namespace serial {

SerialPortLine::SerialPortLine(CSerialPort& port, int portNumber, base::Clock& clock)
    : m_port(port), m_portNumber(portNumber), m_name("COM" + std::to_string(portNumber)),
      m_clock(clock) {}

bool SerialPortLine::open(std::uint32_t baud) {
    return m_port.Open(m_portNumber, static_cast<int>(baud), 'N', 8, 1) != FALSE;
}

bool SerialPortLine::setSpeed(std::uint32_t baud) {
    return m_port.Reconfigure(static_cast<int>(baud), 'N', '8') != FALSE;
}

bool SerialPortLine::write(const std::string& data) {
    return m_port.WriteString(data.c_str()) != FALSE;
}

int SerialPortLine::read(char* buffer, int max, std::uint32_t limitMs) {
    if (max <= 0) {
        return 0;
    }
    if (m_port.BytesWaiting() == 0) {
        if (limitMs == 0) {
            return 0; // the dialog's own polling loop reads the tick counter, not this
        }
        const DWORD start = m_clock.getTickCount();
        while (m_port.BytesWaiting() == 0) {
            if (base::TicksSince(m_clock, start) >= limitMs) {
                return 0;
            }
        }
    }
    const DWORD count = m_port.Read(buffer, static_cast<DWORD>(max));
    return count > 0 ? static_cast<int>(count) : kReadFailed;
}

Dsr SerialPortLine::dsr() {
    DWORD status = 0;
    if (!m_port.GetModemStatus(&status)) {
        return Dsr::kUnknown;
    }
    return (status & MS_DSR_ON) != 0 ? Dsr::kOn : Dsr::kOff;
}

} // namespace serial
