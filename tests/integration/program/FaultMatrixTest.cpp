// The fault matrix: every failure of the boot-loader road and of the transfer, each with its
// exact message and result line, the port released and the dialog's commands restored.
#include <gtest/gtest.h>

#include "support/SimHarness.h"

namespace {

struct MatrixRow {
    const char* name;
    sim::Mode mode;
    std::vector<const char*> faults;
    int dataRows;
    const char* messageStart; // empty: success
    const char* result;
};

const char* const kTransferResult = "Firmware update failed";
constexpr sim::Mode kBoot = sim::Mode::BootLoader;
constexpr sim::Mode kApp = sim::Mode::ApplicationFirmware;

const MatrixRow kMatrix[] = {
    // The boot-loader road.
    {"identity missing",
     kApp,
     {"identity:none"},
     2,
     "Cannot find a Keystrand SM.               ",
     "Cannot find a Keystrand SM."},
    {"identity wrong",
     kApp,
     {"identity:reply=\\rKYST-SM-99,123456"},
     2,
     "Cannot find a Keystrand SM.               ",
     "Cannot find a Keystrand SM."},
    {"identity just inside", kApp, {"identity:delay=1975"}, 2, "", ""},
    {"identity just outside",
     kApp,
     {"identity:delay=2010"},
     2,
     "Cannot find a Keystrand SM.               ",
     "Cannot find a Keystrand SM."},
    {"DSR kept on",
     kApp,
     {"restart:keep-dsr"},
     2,
     "Invalid response from the Keystrand SM.               ",
     "Invalid response from the Keystrand SM."},
    {"restart ignored",
     kApp,
     {"restart:none"},
     2,
     "Invalid response from the Keystrand SM.               ",
     "Invalid response from the Keystrand SM."},
    {"restart just inside", kApp, {"restart:delay=1950"}, 2, "", ""},
    {"restart just outside",
     kApp,
     {"restart:delay=2010"},
     2,
     "Invalid response from the Keystrand SM.               ",
     "Invalid response from the Keystrand SM."},
    // The transfer's states.
    {"version wrong",
     kBoot,
     {"version:reply=KYST-SM-2.09\\r"},
     2,
     "Invalid version response from the Keystrand SM.     ",
     kTransferResult},
    {"version silent",
     kBoot,
     {"version:dead"},
     2,
     "No response from the Keystrand SM.     ",
     kTransferResult},
    {"version just outside",
     kBoot,
     {"version:delay=3010"},
     2,
     "No response from the Keystrand SM.     ",
     kTransferResult},
    {"ready wrong",
     kBoot,
     {"ready:wrong=!"},
     2,
     "Invalid ready response from the Keystrand SM.     ",
     kTransferResult},
    {"ready silent",
     kBoot,
     {"ready:dead"},
     2,
     "No ready response from the Keystrand SM.     ",
     kTransferResult},
    {"ready just inside", kBoot, {"ready:delay=1980"}, 2, "", ""},
    {"ready just outside",
     kBoot,
     {"ready:delay=2030"},
     2,
     "No ready response from the Keystrand SM.     ",
     kTransferResult},
    {"xon wrong",
     kBoot,
     {"xon@row=2:wrong=Q"},
     4,
     "Invalid XON response from the Keystrand SM.     ",
     kTransferResult},
    {"xon silent",
     kBoot,
     {"xon@row=2:none"},
     4,
     "Timeout waiting for XON character from the Keystrand SM.     ",
     kTransferResult},
    {"xoff wrong",
     kBoot,
     {"xoff@row=3:wrong=Q"},
     4,
     "Invalid XOFF response from the Keystrand SM.     ",
     kTransferResult},
    {"xoff silent",
     kBoot,
     {"xoff@row=3:dead"},
     4,
     "Timeout waiting for XOFF character from the Keystrand SM.     ",
     kTransferResult},
    {"xoff just inside", kBoot, {"xoff@row=3:delay=1990"}, 4, "", ""},
    {"xoff just outside",
     kBoot,
     {"xoff@row=3:delay=2010"},
     4,
     "Timeout waiting for XOFF character from the Keystrand SM.     ",
     kTransferResult},
    {"line complete wrong",
     kBoot,
     {"line-complete@row=1:wrong=Q"},
     4,
     "Invalid line complete response from the Keystrand SM.     ",
     kTransferResult},
    {"line complete silent",
     kBoot,
     {"line-complete@row=1:dead"},
     4,
     "Timeout waiting for line complete character from the Keystrand SM.     ",
     kTransferResult},
    {"file complete wrong",
     kBoot,
     {"file-complete:wrong=Q"},
     4,
     "Invalid file complete response from the Keystrand SM.     ",
     kTransferResult},
    {"file complete silent",
     kBoot,
     {"file-complete:none"},
     4,
     "Timeout waiting for file complete character from the Keystrand SM.     ",
     kTransferResult},
    {"file complete just inside", kBoot, {"file-complete:delay=1990"}, 4, "", ""},
    {"file complete just outside",
     kBoot,
     {"file-complete:delay=2010"},
     4,
     "Timeout waiting for file complete character from the Keystrand SM.     ",
     kTransferResult},
    {"row rejected by the device",
     kBoot,
     {"row=3:reject"},
     4,
     "Invalid XOFF response from the Keystrand SM.     ",
     kTransferResult},
    {"line dead in the middle",
     kBoot,
     {"row=20:dead"},
     40,
     "Timeout waiting for XOFF character from the Keystrand SM.     ",
     kTransferResult},
    {"line hung up in the middle",
     kBoot,
     {"row=20:hangup"},
     40,
     "Timeout waiting for XOFF character from the Keystrand SM.     ",
     kTransferResult},
    {"garbage burst for XOFF",
     kBoot,
     {"xoff@row=5:garbage=200"},
     8,
     "Invalid XOFF response from the Keystrand SM.     ",
     kTransferResult},
    {"garbage before the request", kBoot, {"banner:garbage=500"}, 8, "", ""},
    {"line feed after the version",
     kBoot,
     {"version:extra-lf"},
     2,
     "Invalid ready response from the Keystrand SM.     ",
     kTransferResult},
};

class FaultMatrix : public ::testing::TestWithParam<MatrixRow> {};

TEST_P(FaultMatrix, EndsWithItsMessageAndReleasesEverything) {
    const MatrixRow& row = GetParam();
    SimHarness s(DeviceWith(row.mode, {}));
    for (const char* entry : row.faults) {
        sim::Fault f;
        std::string error;
        ASSERT_TRUE(sim::ParseFault(entry, &f, &error)) << error;
        s.device.addFault(f);
    }
    s.writePackage(MakeHexFile(row.dataRows));
    bool restored = false;
    s.beginUpdate(nullptr, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        restored = d.IsDlgItemEnabled(IDC_BEGIN_UPDATE) && d.IsDlgItemEnabled(IDCANCEL) &&
                   d.IsDlgItemEnabled(IDC_REFRESH_PORTS) && d.IsDlgItemEnabled(IDC_CONTACT_INFO) &&
                   d.IsDlgItemEnabled(IDC_COM3) && d.IsDlgItemEnabled(IDC_COM7) &&
                   d.m_nLoanPort == -1;
    });
    ASSERT_EQ(s.boxes.size(), 1u);
    const BoxSnapshot& box = s.boxes[0];
    if (*row.messageStart == 0) {
        EXPECT_EQ(box.box.caption, "Firmware Update Complete") << box.box.text;
        EXPECT_TRUE(s.imageMatchesFile());
    } else {
        EXPECT_EQ(box.box.caption, "Firmware Update Error");
        EXPECT_EQ(box.box.text.rfind(row.messageStart, 0), 0u) << box.box.text;
        EXPECT_EQ(box.result, row.result);
        EXPECT_FALSE(s.h.profile.has("Settings", "ComPort"));
    }
    EXPECT_FALSE(box.portOpen) << "the port is released before the message";
    EXPECT_FALSE(s.comm.isOpen());
    EXPECT_TRUE(restored);
    EXPECT_EQ(s.h.ui.waitCursorDepth(), 0);
}

std::string RowName(const ::testing::TestParamInfo<MatrixRow>& info) {
    std::string name;
    for (const char* c = info.param.name; *c != 0; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultMatrix, ::testing::ValuesIn(kMatrix), RowName);

} // namespace
