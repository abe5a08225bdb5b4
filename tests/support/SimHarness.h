// The program against the simulated device in process, on the virtual clock, through COM3.
#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"
#include "sim/InProcessComm.h"
#include "support/ProgramHarness.h"
#include "ui/PortButtons.h"

// A HEX file of dataRows data records of 16 bytes from address 0 and the end-of-file record,
// with CR LF line ends: dataRows + 1 rows in all.
inline std::string MakeHexFile(int dataRows, unsigned seed = 1) {
    std::string text;
    for (int r = 0; r < dataRows; ++r) {
        std::vector<std::uint8_t> data(16);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(
                (seed * 131 + static_cast<unsigned>(r) * 17 + i * 7) & 0xFF);
        }
        text += sim::MakeHexRow(intelhex::kData, static_cast<std::uint16_t>(r * 16), data) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

// What the dialog showed when a message box came up.
struct BoxSnapshot {
    fw::host::MessageBoxRecord box;
    bool portOpen;
    std::string result;
    std::string bootLoaderLine;
    std::string progressLine;
    std::vector<int> enabledPorts;
    bool beginEnabled;
    int loanPort;
    bool deviceSawAtSign;
};

struct SimHarness {
    explicit SimHarness(sim::DeviceConfig config = sim::DeviceConfig())
        : device(config), comm(h.clock, device, {"\\\\.\\COM3"}) {
        h.useComm(&comm);
        h.portMap.add("\\Device\\Serial2", "COM3");
        h.portMap.add("\\Device\\Serial6", "COM7");
    }

    void writePackage(const std::string& hex) {
        hexText = hex;
        h.writePackage("2.10", "upd.hex", hex);
    }

    // Opens the dialog, presses Begin Update, and records the dialog's state at each box.
    void
    beginUpdate(const std::function<void(CUpdateDlg&, fw::host::DialogModel&)>& before = nullptr,
                const std::function<void(CUpdateDlg&, fw::host::DialogModel&)>& after = nullptr) {
        CUpdateDlg dlg;
        h.ui.onMessageBox = [&](const fw::host::MessageBoxRecord& box) {
            BoxSnapshot s{box,
                          comm.isOpen(),
                          dlg.GetDlgItemText(IDC_UPDATE_RESULT),
                          dlg.GetDlgItemText(IDC_BOOTLOADER_VERSION),
                          dlg.GetDlgItemText(IDC_ROW_PROGRESS),
                          {},
                          dlg.IsDlgItemEnabled(IDC_BEGIN_UPDATE) != FALSE,
                          dlg.m_nLoanPort,
                          device.fileComplete()};
            for (int n = kFirstComPort; n <= kLastComPort; ++n) {
                if (dlg.IsDlgItemEnabled(PortButtonId(n))) {
                    s.enabledPorts.push_back(n);
                }
            }
            boxes.push_back(s);
        };
        h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel& w) {
            if (before) {
                before(d, w);
            }
            w.click(IDC_BEGIN_UPDATE);
            if (after) {
                after(d, w);
            }
        });
    }

    bool imageMatchesFile() const {
        sim::Image expected;
        std::string error;
        return sim::ImageFromHexText(hexText, &expected, &error) && expected == device.image();
    }

    ProgramHarness h;
    sim::DeviceModel device;
    sim::InProcessComm comm;
    std::string hexText;
    std::vector<BoxSnapshot> boxes;
};

// A device configuration with fault entries in the simulator's own syntax.
inline sim::DeviceConfig DeviceWith(sim::Mode mode,
                                    std::initializer_list<const char*> faults = {}) {
    sim::DeviceConfig config;
    config.mode = mode;
    for (const char* entry : faults) {
        sim::Fault fault;
        std::string error;
        if (!sim::ParseFault(entry, &fault, &error)) {
            ADD_FAILURE() << "bad fault " << entry << ": " << error;
            continue;
        }
        config.faults.push_back(fault);
    }
    return config;
}

inline sim::DeviceConfig BootLoaderWith(std::initializer_list<const char*> faults = {}) {
    return DeviceWith(sim::Mode::BootLoader, faults);
}
