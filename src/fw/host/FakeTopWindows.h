// Other programs' top-level windows, in memory: titles, visibility and the messages posted to them.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fw/TopWindows.h"

namespace fw::host {

class FakeTopWindows : public TopWindows {
public:
    struct Window {
        HWND hwnd;
        std::string title;
        bool visible;
    };
    struct Posted {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    // Adds a window below the others in the stacking order; returns its handle.
    HWND add(const std::string& title, bool visible = true) {
        HWND h = reinterpret_cast<HWND>(
            static_cast<std::uintptr_t>(0x5000 + 16 * (m_windows.size() + 1)));
        m_windows.push_back({h, title, visible});
        return h;
    }
    void remove(HWND h) {
        for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
            if (it->hwnd == h) {
                m_windows.erase(it);
                return;
            }
        }
    }
    // Called for every posted message, e.g. for a companion that lets a port go.
    void (*onPost)(void* context, const Posted& posted) = nullptr;
    void* onPostContext = nullptr;

    const std::vector<Posted>& posted() const { return m_posted; }
    void clearPosted() { m_posted.clear(); }

    HWND getTopWindow() override { return m_windows.empty() ? nullptr : m_windows.front().hwnd; }
    HWND getNextWindow(HWND h) override {
        for (std::size_t i = 0; i + 1 < m_windows.size(); ++i) {
            if (m_windows[i].hwnd == h) {
                return m_windows[i + 1].hwnd;
            }
        }
        return nullptr;
    }
    BOOL isWindow(HWND h) override { return find(h) != nullptr; }
    BOOL isWindowVisible(HWND h) override {
        const Window* w = find(h);
        return w != nullptr && w->visible;
    }
    int getWindowText(HWND h, char* buffer, int size) override {
        const Window* w = find(h);
        if (size <= 0) {
            return 0;
        }
        const std::string title = w != nullptr ? w->title : "";
        const std::size_t n = std::min(title.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(buffer, title.data(), n);
        buffer[n] = '\0';
        return static_cast<int>(n);
    }
    BOOL postMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (find(h) == nullptr) {
            return FALSE;
        }
        m_posted.push_back({h, message, wParam, lParam});
        if (onPost != nullptr) {
            onPost(onPostContext, m_posted.back());
        }
        return TRUE;
    }

private:
    const Window* find(HWND h) const {
        for (const auto& w : m_windows) {
            if (w.hwnd == h) {
                return &w;
            }
        }
        return nullptr;
    }
    std::vector<Window> m_windows;
    std::vector<Posted> m_posted;
};

} // namespace fw::host
