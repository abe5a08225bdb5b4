// Port discovery and selection: which of COM1 to COM12 the machine has, and which one is chosen.
#include <cstdio>
#include <strings.h>

#include "fw/App.h"
#include "ui/UpdateDlg.h"

#ifdef _WIN32
#define strcasecmp _stricmp
#endif

namespace {
constexpr DWORD kNameBufferChars = 51;
constexpr DWORD kDataBufferBytes = 21;
constexpr int kPortCount = 12;
} // namespace

void CUpdateDlg::EnumerateSerialPorts() {
    for (BOOL& present : m_portPresent) {
        present = 0;
    }
    fw::PortMap* map = fw::App::Current()->services().portMap;
    if (map == nullptr || map->open(&m_hSerialCommKey) != ERROR_SUCCESS) {
        m_hSerialCommKey = nullptr;
        fw::AfxMessageBox("There are no serial ports installed on this computer.     ", MB_OK);
        return;
    }
    char name[kNameBufferChars];
    BYTE data[kDataBufferBytes];
    for (DWORD index = 0;; ++index) {
        name[0] = 0;
        data[0] = 0;
        DWORD nameSize = kNameBufferChars;
        DWORD dataSize = kDataBufferBytes;
        DWORD type = 0;
        if (map->enumValue(m_hSerialCommKey, index, name, &nameSize, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        // The data need not end in a terminator when it fills the buffer exactly.
        char portName[kDataBufferBytes + 1];
        const DWORD stored = dataSize < kDataBufferBytes ? dataSize : kDataBufferBytes;
        for (DWORD i = 0; i < stored; ++i) {
            portName[i] = static_cast<char>(data[i]);
        }
        portName[stored] = 0;
        for (int n = 1; n <= kPortCount; ++n) {
            char candidate[16];
            std::snprintf(candidate, sizeof candidate, "COM%d", n);
            if (strcasecmp(candidate, portName) == 0) {
                m_portPresent[n - 1] = 1;
                break;
            }
        }
    }
    if (m_hSerialCommKey != nullptr) {
        map->close(m_hSerialCommKey);
        m_hSerialCommKey = nullptr;
    }
}

void CUpdateDlg::EnablePortButtons() {
    for (int n = 1; n <= kPortCount; ++n) {
        EnableDlgItem(IDC_COM1 - 1 + n, m_portPresent[n - 1] ? TRUE : FALSE);
    }
}

void CUpdateDlg::OnRefreshSerialPorts() {
    const int remembered = fw::App::Current()->GetProfileInt("Settings", "ComPort", -1);
    EnumerateSerialPorts();
    EnablePortButtons();

    int chosen = 0;
    if (remembered >= 1 && remembered <= kPortCount && m_portPresent[remembered - 1]) {
        chosen = remembered;
    } else {
        for (int n = 1; n <= kPortCount && chosen == 0; ++n) {
            if (m_portPresent[n - 1]) {
                chosen = n;
            }
        }
    }
    if (chosen == 0) {
        CheckRadioButton(IDC_COM1, IDC_COM12, -1);
        // No port to update through: Begin Update would only try a port number no port has.
        EnableDlgItem(IDC_BEGIN_UPDATE, FALSE);
        return;
    }
    CheckRadioButton(IDC_COM1, IDC_COM12, IDC_COM1 - 1 + chosen);
    if (!m_strHexFileName.empty()) {
        EnableDlgItem(IDC_BEGIN_UPDATE, TRUE);
    }
}
