// keystrand-update's services on Windows: the real COM ports, tick counter, port map and registry.
#include <algorithm>
#include <cstring>

#include <io.h>

#include "app/ProgramDir.h"
#include "app/ProgramNames.h"
#include "console/Platform.h"
#include "fw/win32/WinClock.h"
#include "fw/win32/WinComm.h"
#include "fw/win32/WinPortMap.h"
#include "fw/win32/WinProfile.h"
#include "serial/PortRange.h"

namespace console {

namespace {

class WinPlatform : public Platform {
public:
    fw::Comm& comm() override { return m_comm; }
    fw::Clock& clock() override { return m_clock; }
    fw::PortMap& portMap() override { return m_portMap; }
    fw::Profile& profile() override { return m_profile; }

    // As the update dialog finds its folder: from the program's own command line.
    std::string programDir() override {
        const char* line = ::GetCommandLineA();
        return ProgramDirFromCommandLine(line != nullptr ? line : "");
    }

    std::string folderPrefix(const std::string& folder) override {
        const char last = folder.back();
        return last == '\\' || last == '/' || last == ':' ? folder : folder + "\\";
    }

    // The values of HKLM\Hardware\DeviceMap\SERIALCOMM: device name = COM name.
    std::vector<PortListing> ports() override {
        std::vector<PortListing> list;
        HKEY key = nullptr;
        if (m_portMap.open(&key) != ERROR_SUCCESS) {
            return list;
        }
        for (DWORD index = 0; index < 1024; ++index) {
            char name[256] = {};
            BYTE data[256] = {};
            DWORD nameSize = sizeof name;
            DWORD dataSize = sizeof data - 1;
            DWORD type = 0;
            if (m_portMap.enumValue(key, index, name, &nameSize, &type, data, &dataSize) !=
                ERROR_SUCCESS) {
                break;
            }
            const std::string comName(reinterpret_cast<const char*>(data),
                                      ::strnlen(reinterpret_cast<const char*>(data), dataSize));
            PortListing p;
            p.number = ComNumberFromText(comName);
            p.path = "\\\\.\\" + comName + "  " + name;
            if (p.number > kLastComPort) {
                p.note = "beyond COM12: the update reaches COM1 to COM12 only";
            }
            list.push_back(p);
        }
        m_portMap.close(key);
        std::stable_sort(list.begin(), list.end(), [](const PortListing& a, const PortListing& b) {
            return (a.number == 0 ? 1000 : a.number) < (b.number == 0 ? 1000 : b.number);
        });
        return list;
    }

    int resolvePort(const std::string& text, std::string* reason) override {
        const int n = ComNumberFromText(text);
        if (n == 0) {
            *reason = "--port takes COMn, n or \\\\.\\COMn, not \"" + text + "\"";
        }
        return n;
    }

    std::string settingsPlace() override {
        return "HKEY_CURRENT_USER\\Software\\" COMPANY_NAME "\\" PROGRAM_NAME "\\" SETTINGS_SECTION;
    }

    bool isTerminal(std::FILE* stream) override { return ::_isatty(::_fileno(stream)) != 0; }

private:
    fw::win32::WinComm m_comm;
    fw::win32::WinClock m_clock;
    fw::win32::WinPortMap m_portMap;
    fw::win32::WinProfile m_profile;
};

} // namespace

std::unique_ptr<Platform> MakePlatform(const Options&, std::string*) {
    return std::make_unique<WinPlatform>();
}

} // namespace console
