// Exercises CSerialPort on a real COM port: open at 9600, write, read, switch to 115200, write,
// read, close. The peer on the other end of the line answers each line with its own.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/win32/WinComm.h"
#include "serial/SerialPort.h"

namespace {

// Reads until a line feed or the limit; what arrived, without the line feed.
std::string ReadLine(CSerialPort& port, DWORD limitMs) {
    std::string line;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        char c = 0;
        if (port.BytesWaiting() > 0 && port.Read(&c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            line += c;
        } else {
            Sleep(1);
        }
    }
    return line + "<timeout>";
}

bool Exchange(CSerialPort& port, const char* send, const char* expect) {
    port.WriteString(send);
    const std::string got = ReadLine(port, 5000);
    std::printf("sent %s got %s\n", send, got.c_str());
    return got == expect;
}

} // namespace

// Usage: wine-serial-check.exe N  (the COM port number)
int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: wine-serial-check N\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    fw::win32::WinComm comm;
    CSerialPort port(&comm);
    if (!port.Open(n, 9600, 'N', 8, 1)) {
        std::printf("open failed\n");
        return 1;
    }
    std::printf("open COM%d port number %d\n", n, port.GetPortNumber());
    bool ok = Exchange(port, "at 9600\n", "ack 9600");
    // What arrives before the switch is thrown away by it.
    port.WriteString("stale please\n");
    Sleep(300);
    port.Reconfigure(115200, 'N', '8');
    if (port.BytesWaiting() != 0) {
        std::printf("input not purged\n");
        ok = false;
    }
    ok = Exchange(port, "at 115200\n", "ack 115200") && ok;
    DWORD status = 0;
    std::printf("modem status %s\n", port.GetModemStatus(&status) ? "read" : "failed");
    port.Close();
    std::printf("closed port number %d\n", port.GetPortNumber());
    return ok ? 0 : 1;
}
