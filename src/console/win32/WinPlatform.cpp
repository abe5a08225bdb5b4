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
#include "ui/PortRange.h"

namespace console {

namespace {

class WinPlatform : public Platform {
public:
    std::unique_ptr<fw::Comm> makeComm() override { return std::make_unique<fw::win32::WinComm>(); }
    fw::Clock& clock() override { return m_clock; }
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

    int resolvePort(const std::string& text) override { return ComNumberFromText(text); }

    std::string settingsPlace() override {
        return "HKEY_CURRENT_USER\\Software\\" COMPANY_NAME "\\" PROGRAM_NAME "\\" SETTINGS_SECTION;
    }

    bool isTerminal(std::FILE* stream) override { return ::_isatty(::_fileno(stream)) != 0; }

    int terminalWidth(std::FILE* stream) override {
        const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!::GetConsoleScreenBufferInfo(h, &info)) {
            return 0;
        }
        return info.srWindow.Right - info.srWindow.Left + 1;
    }

    // As the update opens its files: for reading, sharing nothing.
    std::string whyUnreadable(const std::string& path) override {
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return "it cannot be opened";
        }
        const DWORD code = ::GetLastError();
        switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such file";
        case ERROR_ACCESS_DENIED:
            return (::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                           ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES
                       ? "a folder, not a file"
                       : "permission denied";
        case ERROR_SHARING_VIOLATION:
            return "in use by another update";
        default:
            return fw::win32::WinComm::ErrorFromCode(code).text;
        }
    }

    std::string openAdvice(int port, const fw::SystemError& error) override {
        const std::string name = "COM" + std::to_string(port);
        switch (error.cause) {
        case fw::SystemError::Cause::kBusy:
            return "Close the other program that uses " + name + ".";
        case fw::SystemError::Cause::kNoSuchPort:
            return "See --list-ports for the ports present; a USB adapter may have been "
                   "unplugged.";
        default:
            return std::string();
        }
    }

    std::string devicePath(int port) override { return "\\\\.\\COM" + std::to_string(port); }

private:
    fw::win32::WinClock m_clock;
    fw::win32::WinPortMap m_portMap;
    fw::win32::WinProfile m_profile;
};

} // namespace

std::unique_ptr<Platform> MakePlatform(const Options&, std::string*) {
    return std::make_unique<WinPlatform>();
}

} // namespace console
