// CSerialPort: the program's one access to a serial line, polled and synchronous.
#pragma once
#include "fw/Comm.h"
#include "fw/WinTypes.h"

class CSerialPort {
public:
    // Uses the application object's comm service as it stands at each call (the dialog's port,
    // whose services may be installed after the dialog is built).
    CSerialPort();
    // Uses the given comm service; null for none (every call then fails).
    explicit CSerialPort(fw::Comm* comm);
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens COMn ("\\.\COM%d") with the given line settings, closing an open port first.
    // TRUE when the port handle was opened.
    BOOL Open(int nPort, int speed, int parity, BYTE dataBits, int stopBits);
    // Drops DTR, then RTS, and closes the port; nothing when closed.
    void Close();
    // Changes speed, parity and data bits (a digit character) of the open port and purges its
    // input; returns the purge's result.
    BOOL Reconfigure(int speed, int parity, char dataBitsDigit);
    // Writes the text without its terminator; the platform write's result.
    BOOL WriteString(const char* text);
    // Received bytes not yet read.
    DWORD BytesWaiting();
    BOOL PurgeInput();
    // Takes up to nMax bytes already received, without waiting; the count taken.
    DWORD Read(void* buffer, DWORD nMax);
    // FALSE when the port is closed (status untouched), else the platform call's result.
    BOOL GetModemStatus(DWORD* status);
    // The open port's number, -1 while closed.
    int GetPortNumber() const;
    // Why the last failed call on the line failed, as the system says it (after a failed Open,
    // why the port could not be opened).
    base::SystemError LastError() const;

    // The line settings last handed to the port (tests look at them).
    const DCB& LineSettings() const { return m_dcb; }

private:
    fw::Comm& comm() const;

    fw::Comm* m_comm;
    // The lookup of the application's comm service, for a port built without one.
    fw::Comm* (*m_findComm)() = nullptr;
    int m_nPort;
    DCB m_dcb;
    BOOL m_bOpen;
    HANDLE m_hComm;
    DWORD m_dwInQueue;
    DWORD m_dwOutQueue;
};
