// keystrand-update's services on Windows: the COM ports Windows names, the steady clock, and the
// update dialog's own setting for the remembered port.
#include <algorithm>

#include <io.h>

#include "app/ProgramDir.h"
#include "base/ProductNames.h"
#include "base/SteadyClock.h"
#include "console/Platform.h"
#include "fw/win32/WinComm.h"
#include "fw/win32/WinPortMap.h"
#include "fw/win32/WinProfile.h"
#include "serial/ComName.h"
#include "serial/win32/WinLine.h"
#include "serial/win32/WinPorts.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace console {

namespace {

HANDLE StreamHandle(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

class WinPlatform : public Platform {
public:
    std::unique_ptr<serial::Line> makeLine(const std::string& port) override {
        return std::make_unique<serial::win32::WinLine>(port);
    }
    base::Clock& clock() override { return m_clock; }

    std::vector<serial::PortInfo> ports() override {
        fw::win32::WinPortMap map;
        return serial::win32::ListComPorts(map);
    }

    bool portName(const std::string& text, std::string* name, std::string* error) override {
        const int n = serial::ComNumberFromText(text);
        if (n == 0) {
            *error = "--port takes COMn, n or \\\\.\\COMn (n from 1 to " +
                     std::to_string(serial::kLastComNumber) + "), not \"" + text + "\"";
            return false;
        }
        *name = serial::ComName(n);
        return true;
    }
    std::string portIdentity(const std::string& port) override {
        return serial::ComName(serial::ComNumberFromText(port));
    }
    bool portExists(const std::string& port) override {
        const std::vector<serial::PortInfo> present = ports();
        return std::any_of(present.begin(), present.end(),
                           [&](const serial::PortInfo& p) { return p.name == port; });
    }
    std::string describePort(const std::string& port) override {
        for (const serial::PortInfo& p : ports()) {
            if (p.name == port) {
                return p.description;
            }
        }
        return std::string();
    }
    std::string openAdvice(const std::string& port, const base::SystemError& error) override {
        switch (error.cause) {
        case base::SystemError::Cause::kBusy:
            return "Close the other program that uses " + port + ".";
        case base::SystemError::Cause::kNoSuchPort:
            return "See --list-ports for the ports present; a USB adapter may have been "
                   "unplugged.";
        default:
            return std::string();
        }
    }

    // The dialog's setting holds a port number.
    std::string rememberedPort() override {
        m_profile.setRegistryKey(COMPANY_NAME, PROGRAM_NAME);
        const int n = m_profile.getProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY, 0);
        return n > 0 ? serial::ComName(n) : std::string();
    }
    bool rememberPort(const std::string& port) override {
        m_profile.setRegistryKey(COMPANY_NAME, PROGRAM_NAME);
        return m_profile.writeProfileInt(SETTINGS_SECTION, SETTINGS_PORT_ENTRY,
                                         serial::ComNumberFromText(port));
    }
    std::string settingsPlace() override {
        return "HKEY_CURRENT_USER\\Software\\" COMPANY_NAME "\\" PROGRAM_NAME "\\" SETTINGS_SECTION;
    }

    // As the update dialog finds its folder: from the program's own command line.
    std::string programDir() override {
        const char* line = ::GetCommandLineA();
        return ProgramDirFromCommandLine(line != nullptr ? line : "");
    }
    std::string folderPrefix(const std::string& folder) override {
        const char last = folder.back();
        return last == '\\' || last == '/' || last == ':' ? folder : folder + "\\";
    }
    std::string whyUnreadable(const std::string& path) override {
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return "it cannot be opened";
        }
        const DWORD code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such file";
        case ERROR_ACCESS_DENIED:
            return attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                       ? "a folder, not a file"
                       : "permission denied";
        case ERROR_SHARING_VIOLATION:
            return "in use by another program";
        default:
            return fw::win32::WinComm::ErrorFromCode(code).text;
        }
    }

    std::string hostName() override {
        char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof name;
        return ::GetComputerNameA(name, &size) ? name : std::string();
    }
    // A handle that may only append: each write goes to the end of the file, whole.
    bool appendLine(const std::string& path, const std::string& text, std::string* why) override {
        const HANDLE h =
            ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            *why = fw::win32::WinComm::ErrorFromCode(::GetLastError()).text;
            return false;
        }
        DWORD written = 0;
        const bool ok =
            ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size() && ::FlushFileBuffers(h);
        if (!ok) {
            *why = fw::win32::WinComm::ErrorFromCode(::GetLastError()).text;
        }
        ::CloseHandle(h);
        return ok;
    }

    bool isTerminal(std::FILE* stream) override { return ::_isatty(::_fileno(stream)) != 0; }
    int terminalWidth(std::FILE* stream) override {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!::GetConsoleScreenBufferInfo(StreamHandle(stream), &info)) {
            return 0;
        }
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
    // The console's virtual-terminal processing switched on (Windows 10 and later); an older
    // console refuses it.
    bool enableCursorMovement(std::FILE* stream) override {
        const HANDLE h = StreamHandle(stream);
        DWORD mode = 0;
        if (h == INVALID_HANDLE_VALUE || !::GetConsoleMode(h, &mode)) {
            return false;
        }
        return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
               ::SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    }

private:
    base::SteadyClock m_clock;
    fw::win32::WinProfile m_profile;
};

} // namespace

std::unique_ptr<Platform> MakePlatform() {
    return std::make_unique<WinPlatform>();
}

} // namespace console
