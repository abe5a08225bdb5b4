// Port discovery and selection: which of the offered ports the machine has, and which one is
// chosen.
#include <cstdio>
#include <strings.h>

#include "base/ProductNames.h"
#include "fw/App.h"
#include "serial/PortMapWalk.h"
#include "ui/PortButtons.h"
#include "ui/PortRange.h"
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
    const auto mark = [this](const std::string&, const std::string& portName) {
        for (int n = kFirstComPort; n <= kLastComPort; ++n) {
            char candidate[16];
            std::snprintf(candidate, sizeof candidate, "COM%d", n);
            if (strcasecmp(candidate, portName.c_str()) == 0) {
                m_portPresent[n - kFirstComPort] = 1;
                break;
            }
        }
    };
    if (map == nullptr ||
        !serial::WalkPortMap(*map, &m_hSerialCommKey, kNameBufferChars, kDataBufferBytes, mark)) {
        m_hSerialCommKey = nullptr;
        fw::AfxMessageBox("There are no serial ports installed on this computer.     ", MB_OK);
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
