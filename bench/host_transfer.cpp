// The program's own cost per row: whole updates on the host against the simulated device that
// answers at once, timed in CPU and wall-clock microseconds per row.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "sim/DeviceModel.h"
#include "sim/HexImage.h"
#include "sim/InProcessLine.h"
#include "support/LineComm.h"
#include "support/ProgramHarness.h"
#include "ui/UpdateDlg.h"

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string MakeImage(int dataRows) {
    std::string text;
    for (int r = 0; r < dataRows; ++r) {
        std::vector<std::uint8_t> data(16);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>((r * 31 + static_cast<int>(i) * 7) & 0xFF);
        }
        // Extended linear address records keep addresses beyond 64 KiB right.
        if (r % 4096 == 0) {
            const std::uint16_t upper = static_cast<std::uint16_t>(r / 4096);
            text += sim::MakeHexRow(
                        intelhex::kExtendedLinearAddress, 0,
                        {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)}) +
                    "\r\n";
        }
        text +=
            sim::MakeHexRow(intelhex::kData, static_cast<std::uint16_t>((r % 4096) * 16), data) +
            "\r\n";
    }
    return text + ":00000001FF\r\n";
}

struct Sample {
    double cpuMicrosPerRow;
    double wallMicrosPerRow;
    bool ok;
};

Sample RunOnce(const std::string& image, int rows) {
    ProgramHarness h;
    sim::DeviceConfig config;
    config.mode = sim::Mode::BootLoader;
    config.logCapBytes = 1 << 16; // the log is not what is measured
    sim::DeviceModel device(config);
    sim::InProcessLine line(h.clock, device);
    LineComm comm(line);
    h.useComm(&comm);
    h.portMap.add("\\Device\\Serial2", "COM3");
    h.writePackage("2.10", "bench.hex", image);

    CUpdateDlg dlg;
    Sample sample{0, 0, false};
    h.run(dlg, [&](CUpdateDlg&, fw::host::DialogModel& w) {
        const double cpu0 = CpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        w.click(IDC_BEGIN_UPDATE);
        const double cpu = CpuSeconds() - cpu0;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        sample.cpuMicrosPerRow = cpu * 1e6 / rows;
        sample.wallMicrosPerRow = wall * 1e6 / rows;
    });
    sample.ok = !h.ui.messageBoxes().empty() &&
                h.ui.messageBoxes().back().caption == "Firmware Update Complete";
    return sample;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

// Usage: host_transfer_bench [KiB] [repeats]; prints one line of results.
int main(int argc, char** argv) {
    const int kib = argc > 1 ? std::atoi(argv[1]) : 64;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 7;
    const int dataRows = kib * 1024 / 16;
    const int rows = dataRows + 1 + (dataRows + 4095) / 4096;
    const std::string image = MakeImage(dataRows);

    std::vector<double> cpu;
    std::vector<double> wall;
    for (int i = 0; i < repeats; ++i) {
        const Sample s = RunOnce(image, rows);
        if (!s.ok) {
            std::fprintf(stderr, "update failed\n");
            return 1;
        }
        cpu.push_back(s.cpuMicrosPerRow);
        wall.push_back(s.wallMicrosPerRow);
    }
    std::printf(
        "host kib=%d rows=%d repeats=%d cpu_us_per_row_median=%.3f cpu_min=%.3f cpu_max=%.3f "
        "wall_us_per_row_median=%.3f\n",
        kib, rows, repeats, Median(cpu), *std::min_element(cpu.begin(), cpu.end()),
        *std::max_element(cpu.begin(), cpu.end()), Median(wall));
    return 0;
}
