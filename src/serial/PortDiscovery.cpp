// Port discovery and selection: which of the offered ports the machine has, and which one is
// chosen.
#include <cstdio>
#include <strings.h>

#include "app/ProgramNames.h"
#include "fw/App.h"
#include "serial/PortRange.h"
#include "ui/PortButtons.h"
#include "ui/UpdateDlg.h"

#ifdef _WIN32
#define strcasecmp _stricmp
#endif

namespace {
constexpr DWORD kNameBufferChars = 51;
constexpr DWORD kDataBufferBytes = 21;
} // namespace

void CUpdateDlg::EnumerateSerialPorts() {
    static_assert(sizeof(m_portPresent) / sizeof(m_portPresent[0]) == kComPortCount,
                  "one presence flag for each offered port");
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
        for (int n = kFirstComPort; n <= kLastComPort; ++n) {
            char candidate[16];
            std::snprintf(candidate, sizeof candidate, "COM%d", n);
            if (strcasecmp(candidate, portName) == 0) {
                m_portPresent[n - kFirstComPort] = 1;
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
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        EnableDlgItem(PortButtonId(n), m_portPresent[n - kFirstComPort] ? TRUE : FALSE);
    }
}

void CUpdateDlg::OnRefreshSerialPorts() {
    const int remembered =
        fw::App::Current()->GetProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, -1);
    EnumerateSerialPorts();
    EnablePortButtons();

    int chosen = 0;
    if (IsOfferedComPort(remembered) && m_portPresent[remembered - kFirstComPort]) {
        chosen = remembered;
    } else {
        for (int n = kFirstComPort; n <= kLastComPort && chosen == 0; ++n) {
            if (m_portPresent[n - kFirstComPort]) {
                chosen = n;
            }
        }
    }
    if (chosen == 0) {
        CheckRadioButton(kFirstPortButton, kLastPortButton, -1);
        // No port to update through: Begin Update would only try a port number no port has.
        EnableDlgItem(IDC_BEGIN_UPDATE, FALSE);
        return;
    }
    CheckRadioButton(kFirstPortButton, kLastPortButton, PortButtonId(chosen));
    if (!m_strHexFileName.empty()) {
        EnableDlgItem(IDC_BEGIN_UPDATE, TRUE);
    }
}
