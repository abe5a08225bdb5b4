// CSerialPort: opens, sets up, polls and closes one COM port through the comm seam.
#include "serial/SerialPort.h"
#include "fw/NoComm.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

// Line speeds that Open takes as they are; any other value gives 9600.
constexpr DWORD kOpenSpeeds[] = {300,   600,   1200,  2400,  4800,  9600,
                                 14400, 19200, 38400, 57600, 115200};
// Reconfigure knows fewer speeds than Open.
constexpr DWORD kReconfigureSpeeds[] = {1200, 2400, 4800, 9600, 19200, 115200};

template <std::size_t N> DWORD PickSpeed(const DWORD (&table)[N], int speed) {
    for (DWORD known : table) {
        if (speed >= 0 && static_cast<DWORD>(speed) == known) {
            return known;
        }
    }
    return CBR_9600;
}

// Both queues asked of the driver hold 32 KB, far more than one HEX row or reply.
constexpr DWORD kQueueSize = 0x8000;

} // namespace

// The block starts out cleared: the reserved members and the spare flag bits are never written
// afterwards, and the driver expects them zero.
CSerialPort::CSerialPort(fw::Comm* comm)
    : m_comm(comm), m_nPort(-1), m_dcb(), m_bOpen(FALSE), m_hComm(INVALID_HANDLE_VALUE),
      m_dwInQueue(0), m_dwOutQueue(0) {}

CSerialPort::~CSerialPort() {
    Close();
}

fw::Comm& CSerialPort::comm() const {
    if (m_comm != nullptr) {
        return *m_comm;
    }
    if (m_findComm != nullptr) {
        if (fw::Comm* found = m_findComm()) {
            return *found;
        }
    }
    static fw::NoComm none;
    return none;
}

BOOL CSerialPort::Open(int nPort, int speed, int parity, BYTE dataBits, int stopBits) {
    // The old port goes first, so its DTR and RTS drop even when the new one cannot be opened.
    if (m_bOpen) {
        Close();
    }

    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", nPort);
    m_nPort = nPort;

    m_dcb.DCBlength = sizeof(DCB);
    m_dcb.BaudRate = PickSpeed(kOpenSpeeds, speed);
    m_dcb.fBinary = 1;
    m_dcb.fParity = 1;
    m_dcb.fOutxCtsFlow = 0;
    m_dcb.fOutxDsrFlow = 0;
    m_dcb.fDtrControl = DTR_CONTROL_ENABLE;
    m_dcb.fDsrSensitivity = 0;
    m_dcb.fTXContinueOnXoff = 1;
    m_dcb.fOutX = 0;
    m_dcb.fInX = 0;
    m_dcb.fErrorChar = 0;
    m_dcb.fNull = 0;
    m_dcb.fRtsControl = RTS_CONTROL_ENABLE;
    m_dcb.fAbortOnError = 0;
    // The XON/XOFF characters and limits are set although software flow control stays off.
    m_dcb.XonLim = 100;
    m_dcb.XoffLim = 100;
    m_dcb.ByteSize = dataBits;
    switch (parity) {
    case 'E':
        m_dcb.Parity = EVENPARITY;
        break;
    case 'O':
        m_dcb.Parity = ODDPARITY;
        break;
    case 'M':
        m_dcb.Parity = MARKPARITY;
        break;
    case 'S':
        m_dcb.Parity = SPACEPARITY;
        break;
    default:
        m_dcb.Parity = NOPARITY;
        break;
    }
    m_dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    m_dcb.XonChar = 0x11;
    m_dcb.XoffChar = 0x13;
    m_dcb.ErrorChar = static_cast<char>(0xFF);
    m_dcb.EofChar = 0x0D;
    m_dcb.EvtChar = static_cast<char>(0xFF);

    m_hComm = comm().createFile(path);
    if (m_hComm == INVALID_HANDLE_VALUE) {
        return FALSE;
    }

    // From here on the port counts as open; the set-up calls' results are not looked at.
    m_bOpen = TRUE;
    m_dwInQueue = kQueueSize;
    m_dwOutQueue = kQueueSize;
    comm().setupComm(m_hComm, m_dwInQueue, m_dwOutQueue);

    // Reads return at once with what has arrived; writes have no time-out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    comm().setCommTimeouts(m_hComm, &timeouts);

    comm().setCommState(m_hComm, &m_dcb);
    comm().setCommMask(m_hComm, EV_RXCHAR | EV_TXEMPTY);
    return TRUE;
}

void CSerialPort::Close() {
    if (!m_bOpen) {
        return;
    }
    // DTR first, then RTS: the device sees the line go idle before the handle goes.
    comm().escapeCommFunction(m_hComm, CLRDTR);
    comm().escapeCommFunction(m_hComm, CLRRTS);
    comm().closeHandle(m_hComm);
    m_bOpen = FALSE;
}

BOOL CSerialPort::Reconfigure(int speed, int parity, char dataBitsDigit) {
    m_dcb.BaudRate = PickSpeed(kReconfigureSpeeds, speed);
    // Only even and odd parity survive a change of line settings.
    switch (parity) {
    case 'E':
        m_dcb.Parity = EVENPARITY;
        break;
    case 'O':
        m_dcb.Parity = ODDPARITY;
        break;
    default:
        m_dcb.Parity = NOPARITY;
        break;
    }
    m_dcb.ByteSize = static_cast<BYTE>(dataBitsDigit - '0');
    comm().setCommState(m_hComm, &m_dcb);
    // Whatever arrived at the old speed is noise at the new one.
    return comm().purgeComm(m_hComm, PURGE_RXCLEAR);
}

BOOL CSerialPort::WriteString(const char* text) {
    DWORD written = 0;
    return comm().writeFile(m_hComm, text, static_cast<DWORD>(std::strlen(text)), &written);
}

DWORD CSerialPort::BytesWaiting() {
    // Asking also clears line errors, so framing, parity and overrun errors never stop input.
    DWORD errors = 0;
    COMSTAT stat{};
    comm().clearCommError(m_hComm, &errors, &stat);
    return stat.cbInQue;
}

BOOL CSerialPort::PurgeInput() {
    return comm().purgeComm(m_hComm, PURGE_RXCLEAR);
}

DWORD CSerialPort::Read(void* buffer, DWORD nMax) {
    if (nMax == 0) {
        return 0;
    }
    DWORD waiting = BytesWaiting();
    if (waiting == 0) {
        return 0;
    }
    // A failed read counts as nothing read, like an empty queue.
    DWORD count = 0;
    comm().readFile(m_hComm, buffer, waiting < nMax ? waiting : nMax, &count);
    return count;
}

BOOL CSerialPort::GetModemStatus(DWORD* status) {
    if (!m_bOpen) {
        return FALSE;
    }
    return comm().getCommModemStatus(m_hComm, status);
}

int CSerialPort::GetPortNumber() const {
    return m_bOpen ? m_nPort : -1;
}

base::SystemError CSerialPort::LastError() const {
    return comm().lastError();
}
