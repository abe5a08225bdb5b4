// The program against the simulated device in process, on the virtual clock, through COM3: the
// device's own line, with the dialog's port calls served by it.
#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"
#include "sim/InProcessLine.h"
#include "support/LineComm.h"
#include "support/ProgramHarness.h"
#include "ui/PortButtons.h"
#include "ui/PortLoan.h"

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
    // Which of Begin Update, Done, Refresh Serial Ports and Contact Info were enabled.
    std::vector<int> enabledCommands;
    int loanPort;
    bool deviceSawAtSign;
};

// The dialog's four commands that an update locks, in their order.
constexpr int kUpdateCommands[] = {IDC_BEGIN_UPDATE, IDCANCEL, IDC_REFRESH_PORTS, IDC_CONTACT_INFO};

struct SimHarness {
    // The device on `port` (the only port that opens); the port map has COM3 and COM7.
    explicit SimHarness(sim::DeviceConfig config = sim::DeviceConfig(),
                        const std::string& port = "COM3")
        : device(config), line(h.clock, device, port, {port}), comm(line) {
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
                          {},
                          dlg.m_nLoanPort,
                          device.fileComplete()};
            for (int n = kFirstComPort; n <= kLastComPort; ++n) {
                if (dlg.IsDlgItemEnabled(PortButtonId(n))) {
                    s.enabledPorts.push_back(n);
                }
            }
            for (int id : kUpdateCommands) {
                if (dlg.IsDlgItemEnabled(id)) {
                    s.enabledCommands.push_back(id);
                }
            }
            boxes.push_back(s);
            if (whileBoxIsUp) {
                whileBoxIsUp(dlg, boxes.back());
            }
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
    sim::InProcessLine line;
    LineComm comm;
    std::string hexText;
    std::vector<BoxSnapshot> boxes;
    // Called while each message box is up, after its snapshot: what reaches the dialog through
    // the box's own message loop.
    std::function<void(CUpdateDlg&, const BoxSnapshot&)> whileBoxIsUp;
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

// The port held by the companion test program and lent for the update: the first open fails and
// the companion is asked for it. Each notice posted to the companion is kept with whether the
// port was open when it was posted.
struct BorrowedPort {
    struct Notice {
        WPARAM code;
        LPARAM port;
        bool portOpen;
    };

    explicit BorrowedPort(SimHarness& harness) : s(harness) {
        s.line.failNextOpens(1);
        s.h.windows.add(COMPANION_WINDOW_TITLE);
        s.h.windows.onPostContext = this;
        s.h.windows.onPost = [](void* context, const fw::host::FakeTopWindows::Posted& p) {
            auto* self = static_cast<BorrowedPort*>(context);
            self->notices.push_back({p.wParam, p.lParam, self->s.comm.isOpen()});
        };
    }
    ~BorrowedPort() { s.h.windows.onPost = nullptr; }
    BorrowedPort(const BorrowedPort&) = delete;
    BorrowedPort& operator=(const BorrowedPort&) = delete;

    // Asked for COM3 once, and given it back once, after the port was closed.
    void expectGivenBackOnceClosed() const {
        ASSERT_EQ(notices.size(), 2u);
        EXPECT_EQ(notices[0].code, static_cast<WPARAM>(PORT_RELEASE_REQUEST));
        EXPECT_EQ(notices[1].code, static_cast<WPARAM>(PORT_RETURN_NOTICE));
        EXPECT_EQ(notices[1].port, 3);
        EXPECT_FALSE(notices[1].portOpen) << "the port is closed before it is given back";
    }

    SimHarness& s;
    std::vector<Notice> notices;
};
