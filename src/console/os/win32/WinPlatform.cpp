// keystrand-update's services on Windows: the COM ports Windows names, the steady clock, the
// update dialog's own setting for the remembered port, files and the console.
#include <io.h>

#include "app/ProgramDir.h"
#include "base/ProductNames.h"
#include "base/SteadyClock.h"
#include "base/win32/SystemErrorFromCode.h"
#include "console/os/Platform.h"
#include "fw/win32/WinProfile.h"
#include "serial/ComName.h"
#include "serial/win32/ComPortSet.h"

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
    serial::Ports& ports() override { return m_ports; }
    base::Clock& clock() override { return m_clock; }

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
            return base::SystemErrorFromCode(code).text;
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
            *why = base::SystemErrorFromCode(::GetLastError()).text;
            return false;
        }
        DWORD written = 0;
        const bool ok =
            ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size() && ::FlushFileBuffers(h);
        if (!ok) {
            *why = base::SystemErrorFromCode(::GetLastError()).text;
        }
        ::CloseHandle(h);
        return ok;
    }

    // Cursor movement once the console's virtual-terminal processing is switched on (Windows 10
    // and later); an older console refuses it.
    Stream stream(std::FILE* file) override {
        Stream s;
        s.file = file;
        s.terminal = ::_isatty(::_fileno(file)) != 0;
        if (!s.terminal) {
            return s;
        }
        const HANDLE h = StreamHandle(file);
        DWORD mode = 0;
        s.cursorMovement = h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) &&
                           ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
                            ::SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0);
        s.width = [h] {
            CONSOLE_SCREEN_BUFFER_INFO info{};
            if (!::GetConsoleScreenBufferInfo(h, &info)) {
                return 0;
            }
            return info.srWindow.Right - info.srWindow.Left + 1;
        };
        return s;
    }

private:
    serial::win32::ComPortSet m_ports;
    base::SteadyClock m_clock;
    fw::win32::WinProfile m_profile;
};

} // namespace

std::unique_ptr<Platform> MakePlatform() {
    return std::make_unique<WinPlatform>();
}

} // namespace console
