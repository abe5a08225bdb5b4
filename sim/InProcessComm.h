// The serial port seam served in the same process by the device model, on a virtual clock.
#pragma once
#include "base/VirtualClock.h"
#include "fw/Comm.h"
#include "sim/DeviceModel.h"

#include <string>
#include <vector>

namespace sim {

// A serial port with the device on its far end. The device sees the program's writes at once;
// its output becomes readable when the virtual clock reaches the time the device (its pacing,
// its delays) gives it. Reads never wait. The clock is only looked at, never advanced.
//
// One handle at a time: a second open fails, as a port without sharing does. Calls on a handle
// other than the open one fail and are counted. After a hangup fault, every call on the handle
// but closeHandle fails until the port is opened again.
class InProcessComm : public fw::Comm {
public:
    // Serves the given device paths ("\\\\.\\COM3" by default); other paths fail to open.
    InProcessComm(base::VirtualClock& clock, DeviceModel& device,
                  std::vector<std::string> portPaths = {"\\\\.\\COM3"});

    void setPortPaths(std::vector<std::string> portPaths) { m_paths = std::move(portPaths); }
    // The next n opens fail, as while another program holds the port.
    void failNextOpens(int n) { m_failOpens = n; }

    HANDLE createFile(const char* path) override;
    BOOL closeHandle(HANDLE h) override;
    BOOL setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) override;
    BOOL setCommTimeouts(HANDLE h, const COMMTIMEOUTS* timeouts) override;
    BOOL setCommState(HANDLE h, const DCB* dcb) override;
    BOOL setCommMask(HANDLE h, DWORD mask) override;
    BOOL escapeCommFunction(HANDLE h, DWORD function) override;
    BOOL purgeComm(HANDLE h, DWORD flags) override;
    BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override;
    BOOL readFile(HANDLE h, void* buffer, DWORD toRead, DWORD* read) override;
    BOOL writeFile(HANDLE h, const void* data, DWORD toWrite, DWORD* written) override;
    BOOL getCommModemStatus(HANDLE h, DWORD* status) override;

    bool isOpen() const { return m_open; }
    const std::string& openPath() const { return m_openPath; }
    int openCount() const { return m_opens; }
    int failedOpenCount() const { return m_failedOpens; }
    int closeCount() const { return m_closes; }
    int badHandleCalls() const { return m_badHandleCalls; }
    int purgeCount() const { return m_purges; }
    // Line state the program set (0 / false before any setting).
    DWORD baudRate() const { return m_dcb.BaudRate; }
    const DCB& lastDcb() const { return m_dcb; }
    const COMMTIMEOUTS& timeouts() const { return m_timeouts; }
    DWORD inQueueSize() const { return m_inQueue; }
    DWORD outQueueSize() const { return m_outQueue; }
    DWORD commMask() const { return m_mask; }
    bool dtr() const { return m_dtr; }
    bool rts() const { return m_rts; }
    // Every baud rate handed to setCommState, in order.
    const std::vector<DWORD>& baudHistory() const { return m_baudHistory; }
    // The virtual time in microseconds since this transport was made, across clock wrap.
    Micros nowMicros();

private:
    bool valid(HANDLE h);

    base::VirtualClock& m_clock;
    DeviceModel& m_device;
    std::vector<std::string> m_paths;
    int m_failOpens = 0;

    bool m_open = false;
    HANDLE m_handle = nullptr;
    std::uintptr_t m_nextHandle = 0x5E10;
    std::string m_openPath;
    int m_opens = 0;
    int m_failedOpens = 0;
    int m_closes = 0;
    int m_badHandleCalls = 0;
    int m_purges = 0;
    DCB m_dcb{};
    COMMTIMEOUTS m_timeouts{};
    DWORD m_inQueue = 0;
    DWORD m_outQueue = 0;
    DWORD m_mask = 0;
    bool m_dtr = false;
    bool m_rts = false;
    std::vector<DWORD> m_baudHistory;

    DWORD m_lastTick;
    unsigned long long m_elapsedMs = 0;
};

} // namespace sim
