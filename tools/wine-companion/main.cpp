// A stand-in for the maker's serial test program: a visible window with the companion's title that
// logs each port hand-off message it receives, so end-to-end tests can see what the tool posts.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ProductNames.h"

namespace {

constexpr UINT kPortHandoff = 0x8065;
std::string g_logPath;

void AppendLog(const char* line) {
    if (g_logPath.empty()) {
        return;
    }
    if (FILE* f = std::fopen(g_logPath.c_str(), "a")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPortHandoff) {
        char line[96];
        // The port number travels as a signed 32-bit value in the LPARAM, whatever its width.
        std::snprintf(line, sizeof line, "handoff %u %d", static_cast<unsigned>(wParam),
                      static_cast<int>(lParam));
        AppendLog(line);
        return 0;
    }
    if (message == WM_TIMER || message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

// Usage: wine-companion.exe [--title TEXT] [--log FILE] [--hidden] [--seconds N]
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::string title = COMPANION_WINDOW_TITLE;
    bool hidden = false;
    int seconds = 120;
    for (int i = 1; i < __argc; ++i) {
        const char* a = __argv[i];
        if (std::strcmp(a, "--title") == 0 && i + 1 < __argc) {
            title = __argv[++i];
        } else if (std::strcmp(a, "--log") == 0 && i + 1 < __argc) {
            g_logPath = __argv[++i];
        } else if (std::strcmp(a, "--hidden") == 0) {
            hidden = true;
        } else if (std::strcmp(a, "--seconds") == 0 && i + 1 < __argc) {
            seconds = std::atoi(__argv[++i]);
        }
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "KeystrandCompanionStandIn";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA(wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 320,
                              120, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) {
        return 1;
    }
    ShowWindow(hwnd, hidden ? SW_HIDE : SW_SHOWNOACTIVATE);
    // It ends by itself, so a failed test never leaves it running.
    SetTimer(hwnd, 1, static_cast<UINT>(seconds) * 1000u, nullptr);
    AppendLog("ready");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
