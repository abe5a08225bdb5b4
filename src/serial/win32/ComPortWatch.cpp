// The serial-port map watched through its change notification.
#include "serial/win32/ComPortWatch.h"

#include <windows.h>

#include "serial/PollingWatch.h"

namespace serial::win32 {

namespace {

const char kMapKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

class MapWatch : public PortWatch {
public:
    explicit MapWatch(base::Clock& clock)
        : m_event(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
          m_polling(clock, kPollMs,
                    "the serial-port map cannot be watched; looking at it every " +
                        std::to_string(kPollMs) + " ms") {
        arm();
    }
    ~MapWatch() override {
        if (m_key != nullptr) {
            ::RegCloseKey(m_key);
        }
        if (m_event != nullptr) {
            ::CloseHandle(m_event);
        }
    }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    bool wait(std::uint32_t limitMs) override {
        if (!m_armed && !arm()) {
            return m_polling.wait(limitMs);
        }
        if (::WaitForSingleObject(m_event, limitMs) != WAIT_OBJECT_0) {
            return false;
        }
        // Armed again before the caller lists the ports, so that no change after the listing
        // goes untold.
        m_armed = false;
        arm();
        return true;
    }

    std::string fallback() const override { return m_armed ? "" : m_polling.fallback(); }

private:
    // Asks to be told of the map's next change; false when it cannot be (no map, or it went).
    bool arm() {
        if (m_event == nullptr) {
            return false;
        }
        if (m_key == nullptr &&
            ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMapKey, 0, KEY_NOTIFY | KEY_QUERY_VALUE, &m_key) !=
                ERROR_SUCCESS) {
            m_key = nullptr;
            return false;
        }
        if (::RegNotifyChangeKeyValue(m_key, FALSE,
                                      REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, m_event,
                                      TRUE) != ERROR_SUCCESS) {
            ::RegCloseKey(m_key); // a map taken away: open it anew next time
            m_key = nullptr;
            return false;
        }
        m_armed = true;
        return true;
    }

    HANDLE m_event;
    HKEY m_key = nullptr;
    bool m_armed = false;
    PollingWatch m_polling;
};

} // namespace

std::unique_ptr<PortWatch> WatchComPorts(base::Clock& clock) {
    return std::make_unique<MapWatch>(clock);
}

} // namespace serial::win32
