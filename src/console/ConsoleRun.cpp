// The update, the check and the listing, each driving the update dialog on the dialog model.
#include "console/ConsoleRun.h"
#include "fw/NoComm.h"

#include <functional>
#include <memory>
#include <vector>

#include "app/ProgramNames.h"
#include "console/ExitCodes.h"
#include "console/HexCheck.h"
#include "console/Outcome.h"
#include "console/ProgressView.h"
#include "console/TraceComm.h"
#include "fw/App.h"
#include "fw/host/DialogModel.h"
#include "fw/host/HostUi.h"
#include "fw/host/MemoryPortMap.h"
#include "fw/host/MemoryProfile.h"
#include "serial/PortRange.h"
#include "ui/DialogTemplates.h"
#include "ui/PortButtons.h"
#include "ui/UpdateDlg.h"

namespace console {

const char* const kSettingsAppName = PROGRAM_NAME;

namespace {

// No other program's windows: a console run borrows no port from the companion test program.
class NoTopWindows : public fw::TopWindows {
public:
    HWND getTopWindow() override { return nullptr; }
    HWND getNextWindow(HWND) override { return nullptr; }
    BOOL isWindow(HWND) override { return FALSE; }
    BOOL isWindowVisible(HWND) override { return FALSE; }
    int getWindowText(HWND, char* buffer, int size) override {
        if (buffer != nullptr && size > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    BOOL postMessage(HWND, UINT, WPARAM, LPARAM) override { return FALSE; }
};

// Nothing is opened in a browser or reader from a console.
class NoShell : public fw::Shell {
public:
    intptr_t shellExecute(const char*, const char*, int) override { return 2; }
    bool fileExists(const char*) override { return false; }
};

// One run of the update dialog on the dialog model, with the services given and the view
// showing what the dialog shows.
class DialogSession {
public:
    DialogSession(fw::Comm* comm, fw::Clock* clock, fw::PortMap* portMap, fw::Profile* profile,
                  ProgressView& view)
        : m_view(view) {
        fw::Services services;
        services.comm = comm;
        services.clock = clock;
        services.portMap = portMap;
        services.profile = profile;
        services.windows = &m_windows;
        services.shell = &m_shell;
        services.ui = &m_ui;
        m_ui.setDialogTemplates(ProgramDialogTemplates());
        m_app.SetServices(services);
        m_app.SetAppName(kSettingsAppName);
        m_app.SetRegistryKey(COMPANY_NAME);
    }

    fw::App& app() { return m_app; }
    const std::vector<fw::host::MessageBoxRecord>& boxes() const { return m_ui.messageBoxes(); }

    // Runs the dialog; user acts inside its modal loop and ends it.
    void run(CUpdateDlg& dlg, const std::string& programDir,
             const std::function<void(CUpdateDlg&, fw::host::DialogModel&)>& user) {
        dlg.m_strProgramDir = programDir;
        m_ui.onItemText = [&](HWND window, int id, const std::string& text) {
            if (window == dlg.GetSafeHwnd()) {
                m_view.itemText(id, text);
            }
        };
        m_ui.onMessageBox = [&](const fw::host::MessageBoxRecord& box) {
            m_view.message(box.caption, box.text,
                           ExitCodeOfMessage(box.caption, box.text) != kExitSuccess);
        };
        m_ui.onModal = [&](fw::Dialog& d) {
            if (&d != &dlg) {
                d.EndDialog(IDOK); // no other dialog is ever wanted here
                return;
            }
            user(dlg, *fw::host::ModelOf(dlg));
            if (!fw::host::ModelOf(dlg)->ended) {
                fw::host::ModelOf(dlg)->click(IDCANCEL);
            }
        };
        m_app.m_pMainWnd = &dlg;
        dlg.DoModal();
        m_app.m_pMainWnd = nullptr;
        m_ui.onItemText = nullptr;
        m_ui.onMessageBox = nullptr;
        m_ui.onModal = nullptr;
        m_view.finish();
    }

    // The worst message shown so far while the dialog opened: the package before the ports.
    ExitCode openingFailure() const {
        ExitCode found = kExitSuccess;
        for (const auto& box : boxes()) {
            const ExitCode code = ExitCodeOfMessage(box.caption, box.text);
            if (code == kExitPackage) {
                return code;
            }
            if (code != kExitSuccess) {
                found = code;
            }
        }
        return found;
    }

private:
    ProgressView& m_view;
    fw::host::HostUi m_ui;
    NoTopWindows m_windows;
    NoShell m_shell;
    fw::App m_app;
};

std::string PackageDir(const Options& options, Platform& platform) {
    return options.packageDir.empty() ? platform.programDir()
                                      : platform.folderPrefix(options.packageDir);
}

std::string PathOfPort(Platform& platform, int n) {
    for (const PortListing& p : platform.ports()) {
        if (p.number == n) {
            return p.path;
        }
    }
    return std::string();
}

std::string Named(Platform& platform, int n) {
    const std::string path = PathOfPort(platform, n);
    return "COM" + std::to_string(n) + (path.empty() ? "" : " (" + path + ")");
}

} // namespace

int RunUpdate(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    ProgressView view(out, err, platform.isTerminal(out), platform.clock());
    fw::Comm* comm = &platform.comm();
    std::unique_ptr<TraceComm> trace;
    if (!options.traceFile.empty()) {
        trace = std::make_unique<TraceComm>(platform.comm(), platform.clock());
        if (!trace->openLog(options.traceFile)) {
            view.error("keystrand-update: cannot create the trace file " + options.traceFile);
            return kExitUsage;
        }
        comm = trace.get();
    }

    DialogSession session(comm, &platform.clock(), &platform.portMap(), &platform.profile(), view);
    int exitCode = kExitOther;
    CUpdateDlg dlg;
    session.run(
        dlg, PackageDir(options, platform), [&](CUpdateDlg& d, fw::host::DialogModel& window) {
            // What the dialog said while it opened: the package first, then the port map.
            const ExitCode opening = session.openingFailure();
            if (opening == kExitPackage || d.m_strHexFileName.empty()) {
                view.error("The firmware package is not usable: no update.");
                exitCode = kExitPackage;
                return;
            }

            std::vector<int> present;
            for (int n = kFirstComPort; n <= kLastComPort; ++n) {
                if (d.m_portPresent[n - kFirstComPort]) {
                    present.push_back(n);
                }
            }
            int n = 0;
            if (!options.port.empty()) {
                std::string reason;
                n = platform.resolvePort(options.port, &reason);
                if (n == 0) {
                    view.error(reason);
                    exitCode = kExitPort;
                    return;
                }
            } else {
                const int remembered =
                    session.app().GetProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, -1);
                if (IsOfferedComPort(remembered) && d.m_portPresent[remembered - kFirstComPort]) {
                    n = remembered;
                } else if (present.size() == 1) {
                    n = present.front();
                } else if (present.empty()) {
                    view.error("No serial port found (see --list-ports).");
                    exitCode = kExitPort;
                    return;
                } else {
                    std::string names;
                    for (int p : present) {
                        names += (names.empty() ? "" : ", ") + Named(platform, p);
                    }
                    view.error("Several serial ports are present and none is remembered: " + names +
                               ". Choose one with --port.");
                    exitCode = kExitPort;
                    return;
                }
            }
            if (!IsOfferedComPort(n)) {
                view.error("COM" + std::to_string(n) +
                           " cannot be used: the update reaches COM1 to COM12 only.");
                exitCode = kExitPort;
                return;
            }
            if (!d.m_portPresent[n - kFirstComPort]) {
                view.error("COM" + std::to_string(n) +
                           " is not present on this computer (see --list-ports).");
                exitCode = kExitPort;
                return;
            }
            window.click(PortButtonId(n));
            if (d.GetCheckedRadioButton(kFirstPortButton, kLastPortButton) != PortButtonId(n) ||
                !d.IsDlgItemEnabled(IDC_BEGIN_UPDATE)) {
                view.error("The update dialog does not offer COM" + std::to_string(n) + ".");
                exitCode = kExitOther;
                return;
            }

            view.note("Updating through " + Named(platform, n));
            const std::size_t before = session.boxes().size();
            window.click(IDC_BEGIN_UPDATE);
            if (session.boxes().size() == before) {
                view.error("The update ended without an outcome.");
                exitCode = kExitOther;
                return;
            }
            const fw::host::MessageBoxRecord& last = session.boxes().back();
            exitCode = ExitCodeOfMessage(last.caption, last.text);
            if (exitCode == kExitSuccess && d.GetDlgItemText(IDC_UPDATE_RESULT) != DEVICE_NAME
                                                " firmware successfully updated") {
                exitCode = kExitOther;
            }
        });
    return exitCode;
}

int RunCheck(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    ProgressView view(out, err, false, platform.clock());
    fw::NoComm comm;
    fw::host::MemoryPortMap noPorts;
    fw::host::MemoryProfile noSettings;
    DialogSession session(&comm, &platform.clock(), &noPorts, &noSettings, view);
    const std::string dir = PackageDir(options, platform);
    std::string hexName;
    bool packageUsable = false;
    CUpdateDlg dlg;
    session.run(dlg, dir, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        hexName = d.m_strHexFileName;
        packageUsable = !hexName.empty() && session.openingFailure() != kExitPackage;
    });
    if (!packageUsable) {
        view.error("Package check failed: the firmware package in " + dir + " is not usable.");
        return kExitPackage;
    }
    const HexCheckResult r = CheckHexFile(dir + hexName);
    if (!r.ok) {
        view.error("Package check failed: " + r.problem + ".");
        if (r.badRow != 0) {
            view.error("    " + r.badText);
        }
        return kExitPackage;
    }
    view.note("HEX file: " + std::to_string(r.rows) + " rows, " + std::to_string(r.dataRecords) +
              " data records with " + std::to_string(r.dataBytes) +
              " bytes, end-of-file record at row " + std::to_string(r.endOfFileRow) + ".");
    view.note("Package check passed.");
    return kExitSuccess;
}

int ListPorts(Platform& platform, std::FILE* out) {
    fw::Profile& profile = platform.profile();
    profile.setRegistryKey(COMPANY_NAME, kSettingsAppName);
    const int remembered = profile.getProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, -1);
    const std::vector<PortListing> ports = platform.ports();
    if (ports.empty()) {
        std::fprintf(out, "No serial ports found.\n");
    }
    for (const PortListing& p : ports) {
        const std::string name = p.number > 0 ? "COM" + std::to_string(p.number) : "--";
        std::string line = name;
        line.append(name.size() < 7 ? 7 - name.size() : 1, ' ');
        line += p.path;
        if (!p.note.empty()) {
            line += "   (" + p.note + ")";
        }
        if (p.number > 0 && p.number == remembered) {
            line += "   [remembered]";
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fprintf(out, "Remembered port: %s (kept in %s)\n",
                 remembered > 0 ? ("COM" + std::to_string(remembered)).c_str() : "none",
                 platform.settingsPlace().c_str());
    return kExitSuccess;
}

int RunConsole(const Options& options, Platform& platform, std::FILE* out, std::FILE* err) {
    if (options.listPorts) {
        return ListPorts(platform, out);
    }
    if (options.check) {
        return RunCheck(options, platform, out, err);
    }
    return RunUpdate(options, platform, out, err);
}

} // namespace console
