// wine-driver: finds the program's windows, reads their controls and message boxes, clicks
// buttons by posted messages and sets the serial-port map, for the end-to-end tests under Wine.
//
// Every wait is bounded. Exit code 0 means done or found, 1 a timeout or a failed check, 2 a
// usage error. Window handles are printed and read as 0x-prefixed hexadecimal numbers. Texts are
// printed on one line, escaped as base::Escaped does (\r \n \t \\ \" and \xHH).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/Printable.h"

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kPollMs = 50;
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A window's text. For another process's window the system gives its stored text without
// sending it a message, so this never waits for a busy program.
std::string TextOf(HWND window) {
    char buffer[4096] = {};
    const int length = ::GetWindowTextA(window, buffer, sizeof(buffer));
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string ClassOf(HWND window) {
    char buffer[256] = {};
    const int length = ::GetClassNameA(window, buffer, sizeof(buffer));
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool ParseHandle(const char* text, HWND* window) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (end == text || *end != '\0') {
        return false;
    }
    // Window handles have 32 significant bits, sign-extended in a 64-bit program.
    *window = reinterpret_cast<HWND>(
        static_cast<LONG_PTR>(static_cast<LONG>(static_cast<ULONG>(value & 0xFFFFFFFFu))));
    return true;
}

bool ParseInt(const char* text, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 0);
    return end != text && *end == '\0';
}

void PrintHandle(HWND window) {
    std::printf("0x%08lX\n",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window) & 0xFFFFFFFFu));
}

// Polls until the check holds or the time is up.
template <typename Check> bool WaitFor(DWORD timeoutMs, Check check) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (check()) {
            return true;
        }
        if (::GetTickCount() - start >= timeoutMs) {
            return false;
        }
        ::Sleep(kPollMs);
    }
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    for (HWND w = ::GetTopWindow(nullptr); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT)) {
        windows.push_back(w);
        if (windows.size() > 100000) {
            break; // a changing list must not keep the walk going for ever
        }
    }
    return windows;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND c = ::GetWindow(parent, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
        children.push_back(c);
        if (children.size() > 10000) {
            break;
        }
    }
    return children;
}

HWND FindVisibleByTitle(const std::string& title) {
    for (HWND w : TopLevelWindows()) {
        if (::IsWindowVisible(w) && TextOf(w) == title) {
            return w;
        }
    }
    return nullptr;
}

bool IsDialogClass(HWND window) {
    return ClassOf(window) == "#32770";
}

// A visible dialog-class window owned by owner (when given) with the title (when given).
HWND FindMessageBox(HWND owner, const std::string* title) {
    for (HWND w : TopLevelWindows()) {
        if (w == owner || !::IsWindowVisible(w) || !IsDialogClass(w)) {
            continue;
        }
        if (owner != nullptr && ::GetWindow(w, GW_OWNER) != owner) {
            continue;
        }
        if (title != nullptr && TextOf(w) != *title) {
            continue;
        }
        if (owner == nullptr && title == nullptr) {
            continue;
        }
        return w;
    }
    return nullptr;
}

// The message text of a message box: its static control with the number 0xFFFF (-1).
std::string MessageBoxText(HWND box) {
    for (HWND c : Children(box)) {
        // The number -1 is kept as 0xFFFF, 0xFFFFFFFF or all bits of a LONG_PTR, depending on the
        // template and the width of the program: its low 16 bits are what every form shares.
        const LONG_PTR id = ::GetWindowLongPtrA(c, GWLP_ID);
        const LONG style = ::GetWindowLongA(c, GWL_STYLE);
        if ((id & 0xFFFF) == 0xFFFF && ClassOf(c) == "Static" && (style & 0x1F) != SS_ICON) {
            return TextOf(c);
        }
    }
    return std::string();
}

// ---- commands --------------------------------------------------------------------------------

int FindWindowCommand(const std::string& title, DWORD timeoutMs) {
    HWND found = nullptr;
    if (!WaitFor(timeoutMs, [&] { return (found = FindVisibleByTitle(title)) != nullptr; })) {
        std::fprintf(stderr, "no visible window titled \"%s\" within %lu ms\n", title.c_str(),
                     static_cast<unsigned long>(timeoutMs));
        return kExitFailed;
    }
    PrintHandle(found);
    return kExitOk;
}

int WaitGoneCommand(HWND window, DWORD timeoutMs) {
    if (!WaitFor(timeoutMs, [&] { return !::IsWindow(window); })) {
        std::fprintf(stderr, "window still there after %lu ms\n",
                     static_cast<unsigned long>(timeoutMs));
        return kExitFailed;
    }
    return kExitOk;
}

int PidCommand(HWND window) {
    DWORD pid = 0;
    if (!::IsWindow(window) || ::GetWindowThreadProcessId(window, &pid) == 0) {
        std::fprintf(stderr, "no such window\n");
        return kExitFailed;
    }
    std::printf("%lu\n", static_cast<unsigned long>(pid));
    return kExitOk;
}

int WaitPidCommand(DWORD pid, DWORD timeoutMs) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return kExitOk; // already gone
    }
    const DWORD status = ::WaitForSingleObject(process, timeoutMs);
    ::CloseHandle(process);
    if (status != WAIT_OBJECT_0) {
        std::fprintf(stderr, "process %lu still running after %lu ms\n",
                     static_cast<unsigned long>(pid), static_cast<unsigned long>(timeoutMs));
        return kExitFailed;
    }
    return kExitOk;
}

int ControlsCommand(HWND dialog) {
    if (!::IsWindow(dialog)) {
        std::fprintf(stderr, "no such window\n");
        return kExitFailed;
    }
    for (HWND c : Children(dialog)) {
        RECT r;
        ::GetWindowRect(c, &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        const LONG style = ::GetWindowLongA(c, GWL_STYLE);
        const LONG exStyle = ::GetWindowLongA(c, GWL_EXSTYLE);
        std::printf("%ld\t%s\t0x%08lX\t0x%08lX\t%d\t%d\t%ld\t%ld\t%ld\t%ld\t%s\n",
                    static_cast<long>(::GetWindowLongPtrA(c, GWLP_ID)), ClassOf(c).c_str(),
                    static_cast<unsigned long>(style), static_cast<unsigned long>(exStyle),
                    (style & WS_VISIBLE) != 0 ? 1 : 0, ::IsWindowEnabled(c) ? 1 : 0,
                    static_cast<long>(r.left), static_cast<long>(r.top),
                    static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top),
                    base::Escaped(TextOf(c)).c_str());
    }
    return kExitOk;
}

HWND ControlOf(HWND dialog, long id) {
    for (HWND c : Children(dialog)) {
        const LONG_PTR cid = ::GetWindowLongPtrA(c, GWLP_ID);
        if (cid == id || (cid & 0xFFFF) == (id & 0xFFFF)) {
            return c;
        }
    }
    return nullptr;
}

int TextCommand(HWND dialog, long id) {
    HWND control = ControlOf(dialog, id);
    if (control == nullptr) {
        std::fprintf(stderr, "no control %ld\n", id);
        return kExitFailed;
    }
    std::printf("%s\n", base::Escaped(TextOf(control)).c_str());
    return kExitOk;
}

int WaitTextCommand(HWND dialog, long id, const std::string& expected, DWORD timeoutMs) {
    std::string last;
    const bool seen = WaitFor(timeoutMs, [&] {
        HWND control = ControlOf(dialog, id);
        last = control != nullptr ? base::Escaped(TextOf(control)) : std::string("<no control>");
        return last == expected;
    });
    if (!seen) {
        std::fprintf(stderr, "control %ld: \"%s\" after %lu ms, expected \"%s\"\n", id,
                     last.c_str(), static_cast<unsigned long>(timeoutMs), expected.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

// A control's text as the control itself gives it (WM_GETTEXT, answered by the program's thread):
// for controls whose text the window does not keep, such as a rich edit field.
int SentTextCommand(HWND dialog, long id, DWORD timeoutMs) {
    HWND control = ControlOf(dialog, id);
    if (control == nullptr) {
        std::fprintf(stderr, "no control %ld\n", id);
        return kExitFailed;
    }
    std::vector<char> buffer(65536, '\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(control, WM_GETTEXT, buffer.size(),
                               reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, timeoutMs,
                               &copied)) {
        std::fprintf(stderr, "control %ld did not answer WM_GETTEXT within %lu ms\n", id,
                     static_cast<unsigned long>(timeoutMs));
        return kExitFailed;
    }
    const std::size_t length = copied < buffer.size() ? static_cast<std::size_t>(copied) : 0;
    std::printf("%s\n", base::Escaped(std::string(buffer.data(), length)).c_str());
    return kExitOk;
}

// A button's check state (BM_GETCHECK): 0 unchecked, 1 checked, 2 indeterminate.
int CheckedCommand(HWND dialog, long id, DWORD timeoutMs) {
    HWND control = ControlOf(dialog, id);
    if (control == nullptr) {
        std::fprintf(stderr, "no control %ld\n", id);
        return kExitFailed;
    }
    DWORD_PTR state = 0;
    if (!::SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &state)) {
        std::fprintf(stderr, "control %ld did not answer BM_GETCHECK within %lu ms\n", id,
                     static_cast<unsigned long>(timeoutMs));
        return kExitFailed;
    }
    std::printf("%lu\n", static_cast<unsigned long>(state));
    return kExitOk;
}

int Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!::IsWindow(window) || !::PostMessageA(window, message, wParam, lParam)) {
        std::fprintf(stderr, "cannot post to the window\n");
        return kExitFailed;
    }
    return kExitOk;
}

int ClickCommand(HWND dialog, long id) {
    HWND control = ControlOf(dialog, id);
    return Post(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                reinterpret_cast<LPARAM>(control));
}

int BmClickCommand(HWND dialog, long id) {
    HWND control = ControlOf(dialog, id);
    if (control == nullptr) {
        std::fprintf(stderr, "no control %ld\n", id);
        return kExitFailed;
    }
    return Post(control, BM_CLICK, 0, 0);
}

// The Escape key as the keyboard gives it: to the window with the focus in the dialog's thread,
// where the dialog's message loop turns it into IDCANCEL.
int EscapeCommand(HWND dialog) {
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    HWND target = dialog;
    const DWORD thread = ::GetWindowThreadProcessId(dialog, nullptr);
    if (thread != 0 && ::GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr) {
        target = info.hwndFocus;
    }
    const LPARAM down = 0x00010001; // repeat count 1, scan code 1
    const LPARAM up = static_cast<LPARAM>(0xC0010001u);
    if (Post(target, WM_KEYDOWN, VK_ESCAPE, down) != kExitOk) {
        return kExitFailed;
    }
    return Post(target, WM_KEYUP, VK_ESCAPE, up);
}

int WaitMessageBoxCommand(HWND owner, const std::string* title, DWORD timeoutMs) {
    HWND box = nullptr;
    if (!WaitFor(timeoutMs, [&] { return (box = FindMessageBox(owner, title)) != nullptr; })) {
        std::fprintf(stderr, "no message box within %lu ms\n",
                     static_cast<unsigned long>(timeoutMs));
        return kExitFailed;
    }
    std::printf("hwnd\t");
    PrintHandle(box);
    std::printf("caption\t%s\n", base::Escaped(TextOf(box)).c_str());
    std::printf("text\t%s\n", base::Escaped(MessageBoxText(box)).c_str());
    return kExitOk;
}

int RectCommand(HWND window) {
    RECT r;
    if (!::IsWindow(window) || !::GetWindowRect(window, &r)) {
        std::fprintf(stderr, "no such window\n");
        return kExitFailed;
    }
    std::printf("window\t%ld\t%ld\t%ld\t%ld\n", static_cast<long>(r.left), static_cast<long>(r.top),
                static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
    RECT c;
    ::GetClientRect(window, &c);
    std::printf("client\t%ld\t%ld\n", static_cast<long>(c.right), static_cast<long>(c.bottom));
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    std::printf("origin\t%ld\t%ld\n", static_cast<long>(origin.x), static_cast<long>(origin.y));
    return kExitOk;
}

int ScreenCommand() {
    std::printf("screen\t%d\t%d\n", ::GetSystemMetrics(SM_CXSCREEN),
                ::GetSystemMetrics(SM_CYSCREEN));
    std::printf("virtual\t%d\t%d\t%d\t%d\n", ::GetSystemMetrics(SM_XVIRTUALSCREEN),
                ::GetSystemMetrics(SM_YVIRTUALSCREEN), ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
    HDC screen = ::GetDC(nullptr);
    std::printf("dpi\t%d\n", screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0);
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return kExitOk;
}

// The foreground window and the active and focus windows of the given window's thread.
int ActiveCommand(HWND window) {
    std::printf("foreground\t");
    PrintHandle(::GetForegroundWindow());
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    if (thread != 0 && ::GetGUIThreadInfo(thread, &info)) {
        std::printf("active\t");
        PrintHandle(info.hwndActive);
        std::printf("focus\t");
        PrintHandle(info.hwndFocus);
    }
    return kExitOk;
}

int ListWindowsCommand() {
    for (HWND w : TopLevelWindows()) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        std::printf("0x%08lX\t%lu\t%d\t%s\t0x%08lX\t%s\n",
                    static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w) & 0xFFFFFFFFu),
                    static_cast<unsigned long>(pid), ::IsWindowVisible(w) ? 1 : 0,
                    ClassOf(w).c_str(),
                    static_cast<unsigned long>(
                        reinterpret_cast<uintptr_t>(::GetWindow(w, GW_OWNER)) & 0xFFFFFFFFu),
                    base::Escaped(TextOf(w)).c_str());
    }
    return kExitOk;
}

// ---- the serial-port map ---------------------------------------------------------------------

const char kSerialComm[] = "Hardware\\DeviceMap\\SERIALCOMM";

std::vector<std::pair<std::string, std::string>> SerialCommValues(HKEY key) {
    std::vector<std::pair<std::string, std::string>> values;
    for (DWORD index = 0; index < 4096; ++index) {
        char name[256] = {};
        BYTE data[256] = {};
        DWORD nameSize = sizeof(name);
        DWORD dataSize = sizeof(data) - 1;
        DWORD type = 0;
        if (::RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        values.emplace_back(name, reinterpret_cast<const char*>(data));
    }
    return values;
}

int SerialCommListCommand() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        std::fprintf(stderr, "no serial-port map\n");
        return kExitFailed;
    }
    for (const auto& value : SerialCommValues(key)) {
        std::printf("%s\t%s\n", base::Escaped(value.first).c_str(),
                    base::Escaped(value.second).c_str());
    }
    ::RegCloseKey(key);
    return kExitOk;
}

// Replaces every value of the map with one value per given port. With waitFor, first waits
// until the system has written that port into the map, so that the system's own filling of the
// map at start-up cannot come after ours.
int SerialCommSetCommand(const std::vector<std::string>& ports, const std::string& waitFor,
                         DWORD timeoutMs) {
    HKEY key = nullptr;
    const bool ready = WaitFor(timeoutMs, [&] {
        if (key == nullptr && ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_ALL_ACCESS,
                                              &key) != ERROR_SUCCESS) {
            key = nullptr;
            return false;
        }
        if (waitFor.empty()) {
            return true;
        }
        for (const auto& value : SerialCommValues(key)) {
            if (lstrcmpiA(value.second.c_str(), waitFor.c_str()) == 0) {
                return true;
            }
        }
        return false;
    });
    if (!ready) {
        std::fprintf(stderr, "the serial-port map did not name %s within %lu ms\n", waitFor.c_str(),
                     static_cast<unsigned long>(timeoutMs));
        if (key != nullptr) {
            ::RegCloseKey(key);
        }
        return kExitFailed;
    }
    if (!waitFor.empty()) {
        ::Sleep(500); // the rest of the system's list follows within moments
    }
    for (const auto& value : SerialCommValues(key)) {
        ::RegDeleteValueA(key, value.first.c_str());
    }
    int serial = 0;
    for (const std::string& port : ports) {
        const std::string name = "\\Device\\Serial" + std::to_string(serial++);
        ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                         static_cast<DWORD>(port.size() + 1));
    }
    const auto now = SerialCommValues(key);
    ::RegCloseKey(key);
    if (now.size() != ports.size()) {
        std::fprintf(stderr, "the serial-port map holds %u values, expected %u\n",
                     static_cast<unsigned>(now.size()), static_cast<unsigned>(ports.size()));
        return kExitFailed;
    }
    return kExitOk;
}

// Reads a REG_DWORD value below HKEY_CURRENT_USER; prints it as a signed number.
int ProfileGetCommand(const std::string& path, const std::string& value) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        std::fprintf(stderr, "no key HKCU\\%s\n", path.c_str());
        return kExitFailed;
    }
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LONG status = ::RegQueryValueExA(key, value.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(&data), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) {
        std::fprintf(stderr, "no REG_DWORD value %s\n", value.c_str());
        return kExitFailed;
    }
    std::printf("%ld\n", static_cast<long>(static_cast<LONG>(data)));
    return kExitOk;
}

// Writes a REG_DWORD value below HKEY_CURRENT_USER, creating the keys on the way.
int ProfileSetCommand(const std::string& path, const std::string& value, long data) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot create HKCU\\%s\n", path.c_str());
        return kExitFailed;
    }
    const DWORD dword = static_cast<DWORD>(data);
    const LONG status = ::RegSetValueExA(key, value.c_str(), 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&dword), sizeof(dword));
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot write %s\n", value.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: wine-driver COMMAND ARGS   (HWND as 0x..., TIMEOUT in ms, default 10000)\n"
                 "  find-window TITLE [TIMEOUT]     visible top-level window by exact title\n"
                 "  list-windows                    all top-level windows\n"
                 "  controls HWND                   child controls in order: id class style\n"
                 "                                  exstyle visible enabled x y w h text\n"
                 "  text HWND ID                    a control's text\n"
                 "  sent-text HWND ID [TIMEOUT]     a control's text by WM_GETTEXT (rich edit)\n"
                 "  checked HWND ID [TIMEOUT]       a button's check state by BM_GETCHECK\n"
                 "  wait-text HWND ID TEXT [TIMEOUT]\n"
                 "  click HWND ID                   post WM_COMMAND(ID, BN_CLICKED)\n"
                 "  bm-click HWND ID                post BM_CLICK to the control\n"
                 "  escape HWND                     post the Escape key to the focus window\n"
                 "  cancel HWND | close HWND | sys-close HWND\n"
                 "  syscommand HWND ID              post WM_SYSCOMMAND(ID)\n"
                 "  wait-msgbox OWNER|0 [TITLE] [TIMEOUT]   print hwnd, caption and text\n"
                 "  press HWND ID                   post WM_COMMAND(ID) (a message box's OK: 1)\n"
                 "  rect HWND | screen | active HWND (foreground, active and focus windows)\n"
                 "  wait-gone HWND [TIMEOUT] | pid HWND | wait-pid PID [TIMEOUT]\n"
                 "  serialcomm-list\n"
                 "  serialcomm-set [--wait-for COMn] [--timeout MS] PORT...\n"
                 "  profile-get KEYPATH VALUE       REG_DWORD below HKEY_CURRENT_USER\n"
                 "  profile-set KEYPATH VALUE N     write one, creating the keys\n");
    return kExitUsage;
}

DWORD TimeoutArg(int argc, char** argv, int index) {
    long value = 0;
    if (index < argc && ParseInt(argv[index], &value) && value >= 0) {
        return static_cast<DWORD>(value);
    }
    return kDefaultTimeoutMs;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    HWND window = nullptr;
    long id = 0;
    const bool hasWindow = argc > 2 && ParseHandle(argv[2], &window);
    const bool hasId = argc > 3 && ParseInt(argv[3], &id);

    if (command == "find-window" && argc >= 3) {
        return FindWindowCommand(argv[2], TimeoutArg(argc, argv, 3));
    }
    if (command == "list-windows") {
        return ListWindowsCommand();
    }
    if (command == "screen") {
        return ScreenCommand();
    }
    if (command == "serialcomm-list") {
        return SerialCommListCommand();
    }
    if (command == "serialcomm-set") {
        std::vector<std::string> ports;
        std::string waitFor;
        DWORD timeoutMs = kDefaultTimeoutMs;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--wait-for" && i + 1 < argc) {
                waitFor = argv[++i];
            } else if (arg == "--timeout" && i + 1 < argc) {
                timeoutMs = TimeoutArg(argc, argv, ++i);
            } else {
                ports.push_back(arg);
            }
        }
        return SerialCommSetCommand(ports, waitFor, timeoutMs);
    }
    if (command == "profile-get" && argc == 4) {
        return ProfileGetCommand(argv[2], argv[3]);
    }
    if (command == "profile-set" && argc == 5) {
        long data = 0;
        if (!ParseInt(argv[4], &data)) {
            return Usage();
        }
        return ProfileSetCommand(argv[2], argv[3], data);
    }
    if (command == "wait-pid" && argc >= 3) {
        long pid = 0;
        if (!ParseInt(argv[2], &pid)) {
            return Usage();
        }
        return WaitPidCommand(static_cast<DWORD>(pid), TimeoutArg(argc, argv, 3));
    }
    if (command == "wait-msgbox" && hasWindow) {
        std::string title;
        long ignored = 0;
        const bool hasTitle = argc > 3 && !ParseInt(argv[3], &ignored);
        if (hasTitle) {
            title = argv[3];
        }
        return WaitMessageBoxCommand(window, hasTitle ? &title : nullptr,
                                     TimeoutArg(argc, argv, hasTitle ? 4 : 3));
    }
    if (!hasWindow) {
        return Usage();
    }
    if (command == "controls") {
        return ControlsCommand(window);
    }
    if (command == "rect") {
        return RectCommand(window);
    }
    if (command == "active") {
        return ActiveCommand(window);
    }
    if (command == "pid") {
        return PidCommand(window);
    }
    if (command == "wait-gone") {
        return WaitGoneCommand(window, TimeoutArg(argc, argv, 3));
    }
    if (command == "escape") {
        return EscapeCommand(window);
    }
    if (command == "cancel") {
        return Post(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    if (command == "close") {
        return Post(window, WM_CLOSE, 0, 0);
    }
    if (command == "sys-close") {
        return Post(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    if (!hasId) {
        return Usage();
    }
    if (command == "text") {
        return TextCommand(window, id);
    }
    if (command == "wait-text" && argc >= 5) {
        return WaitTextCommand(window, id, argv[4], TimeoutArg(argc, argv, 5));
    }
    if (command == "sent-text") {
        return SentTextCommand(window, id, TimeoutArg(argc, argv, 4));
    }
    if (command == "checked") {
        return CheckedCommand(window, id, TimeoutArg(argc, argv, 4));
    }
    if (command == "syscommand") {
        return Post(window, WM_SYSCOMMAND, static_cast<WPARAM>(id), 0);
    }
    if (command == "click") {
        return ClickCommand(window, id);
    }
    if (command == "bm-click") {
        return BmClickCommand(window, id);
    }
    if (command == "press") {
        return Post(window, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                    reinterpret_cast<LPARAM>(ControlOf(window, id)));
    }
    return Usage();
}
