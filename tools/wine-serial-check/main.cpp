// Exercises CSerialPort on a real COM port under Wine against a peer that answers each line.
//
// Open at 9600, one exchange, a stale reply left waiting, the switch to 115200 (which must throw
// the stale reply away), one exchange at the new speed, the modem status, close. Each step prints
// one line "step result detail"; the exit code is 0 when every step gave what was expected,
// 1 otherwise, 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/win32/WinComm.h"
#include "serial/SerialPort.h"

namespace {

constexpr DWORD kReplyLimitMs = 5000;

// Reads until a line feed or the limit; what arrived without the line feed and any carriage
// return, or what arrived followed by "<timeout>".
std::string ReadLine(CSerialPort& port, DWORD limitMs) {
    std::string line;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < limitMs) {
        char c = 0;
        if (port.BytesWaiting() > 0 && port.Read(&c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            if (c != '\r') {
                line += c;
            }
        } else {
            ::Sleep(1);
        }
    }
    return line + "<timeout>";
}

bool Report(const char* step, bool ok, const std::string& detail) {
    std::printf("%s %s %s\n", step, ok ? "ok" : "FAILED", detail.c_str());
    return ok;
}

// Sends one line and expects the peer's answer.
bool Exchange(CSerialPort& port, const char* step, const std::string& send,
              const std::string& expect) {
    const BOOL written = port.WriteString((send + "\n").c_str());
    const std::string got = ReadLine(port, kReplyLimitMs);
    return Report(step, written && got == expect,
                  "sent \"" + send + "\" got \"" + got + "\" expected \"" + expect + "\"");
}

} // namespace

// Usage: wine-serial-check.exe N  (the COM port number)
int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 2) {
        std::fprintf(stderr, "usage: wine-serial-check N\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    fw::win32::WinComm comm;
    CSerialPort port(&comm);
    if (!Report("open", port.Open(n, 9600, 'N', 8, 1) != FALSE, "COM" + std::to_string(n))) {
        return 1;
    }
    bool ok =
        Report("port-number", port.GetPortNumber() == n, std::to_string(port.GetPortNumber()));
    ok = Exchange(port, "exchange-9600", "at 9600", "ack 9600") && ok;

    // A reply that arrives before the switch is thrown away by it.
    port.WriteString("stale please\n");
    const DWORD start = ::GetTickCount();
    while (port.BytesWaiting() == 0 && ::GetTickCount() - start < kReplyLimitMs) {
        ::Sleep(1);
    }
    ok = Report("stale-reply", port.BytesWaiting() > 0,
                std::to_string(port.BytesWaiting()) + " bytes waiting") &&
         ok;
    ::Sleep(100); // the rest of the stale reply
    const BOOL purged = port.Reconfigure(115200, 'N', '8');
    ok = Report("reconfigure", purged != FALSE && port.BytesWaiting() == 0,
                std::to_string(port.BytesWaiting()) + " bytes waiting after the switch") &&
         ok;
    ok = Exchange(port, "exchange-115200", "at 115200", "ack 115200") && ok;

    // A pseudo-terminal has no modem lines, so reading their status fails there.
    DWORD status = 0;
    const BOOL modem = port.GetModemStatus(&status);
    Report("modem-status", true, modem ? "read" : "failed");

    port.Close();
    ok = Report("close", port.GetPortNumber() == -1, std::to_string(port.GetPortNumber())) && ok;
    return ok ? 0 : 1;
}
