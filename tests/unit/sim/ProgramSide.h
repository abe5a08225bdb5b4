// Test driver that works the in-process line the way the update program does: poll and read.
#pragma once
#include "base/VirtualClock.h"
#include "serial/Line.h"
#include "sim/DeviceModel.h"
#include "sim/InProcessLine.h"
#include "sim/Protocol.h"

#include <cstdint>
#include <string>

namespace simtest {

// Parity as a port's control block carries it.
constexpr int kNoParity = 0;
constexpr int kEvenParity = 2;

// Opens, configures, writes and polls the line, timing every wait on the virtual tick counter
// like the program's busy loops (each tick read lets one millisecond pass).
class ProgramSide {
public:
    ProgramSide(sim::InProcessLine& line, base::VirtualClock& clock)
        : m_line(line), m_clock(clock) {}

    // The named line at the speed, 8N1 with DTR and RTS raised, then the input purged.
    bool open(const std::string& name, std::uint32_t baud) {
        return m_line.open(name, baud) && m_line.purgeInput();
    }
    // Line settings at the given speed, data bits and parity, then the input purged.
    bool configure(std::uint32_t baud, int byteSize = 8, int parity = kNoParity) {
        if (byteSize == 8 && parity == kNoParity) {
            return m_line.setSpeed(baud);
        }
        return m_line.frame(baud, byteSize, parity, 0) && m_line.purgeInput();
    }
    void close() { m_line.close(); }
    bool write(const std::string& text) { return m_line.write(text); }
    bool purge() { return m_line.purgeInput(); }
    std::size_t waiting() { return m_line.waiting(); }
    // The next character within limitMs, or -1 when none comes.
    int next(std::uint32_t limitMs = 2000) {
        const std::uint32_t start = m_clock.getTickCount();
        while (m_clock.getTickCount() - start < limitMs) {
            if (waiting() > 0) {
                char c = 0;
                if (m_line.read(&c, 1, 0) == 1) {
                    m_lastAt = m_clock.now();
                    return static_cast<unsigned char>(c);
                }
                return -1;
            }
        }
        return -1;
    }
    // Every character that arrives within ms.
    std::string collect(std::uint32_t ms) {
        std::string out;
        const std::uint32_t start = m_clock.getTickCount();
        while (m_clock.getTickCount() - start < ms && out.size() < 100000) {
            if (waiting() > 0) {
                char c = 0;
                if (m_line.read(&c, 1, 0) == 1) {
                    out += c;
                }
            }
        }
        return out;
    }
    // Everything readable at this moment, in one read, without letting time pass.
    std::string drain() {
        std::string out(waiting(), '\0');
        int got = 0;
        if (!out.empty()) {
            got = m_line.read(&out[0], static_cast<int>(out.size()), 0);
        }
        out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return out;
    }
    // Up to n characters, waiting at most limitMs for each.
    std::string take(std::size_t n, std::uint32_t limitMs = 2000) {
        std::string out;
        while (out.size() < n) {
            const int c = next(limitMs);
            if (c < 0) {
                break;
            }
            out += static_cast<char>(c);
        }
        return out;
    }
    void pause(std::uint32_t ms) {
        const std::uint32_t start = m_clock.getTickCount();
        while (m_clock.getTickCount() - start < ms) {
        }
    }
    // DSR as the line shows it; an unknown DSR counts as on, as the program takes it.
    bool dsr() { return m_line.dsr() != serial::Dsr::kOff; }
    // Milliseconds until DSR drops, polling up to limitMs; -1 when it stays on.
    long waitDsrOff(std::uint32_t limitMs = 2000) {
        const std::uint32_t start = m_clock.getTickCount();
        while (true) {
            const std::uint32_t elapsed = m_clock.getTickCount() - start;
            if (elapsed >= limitMs) {
                return -1;
            }
            if (!dsr()) {
                return static_cast<long>(elapsed);
            }
        }
    }
    // The boot loader's greeting as the program takes it: pause, purge, request, reply.
    std::string identify() {
        pause(100);
        purge();
        write(sim::kIdentificationRequest);
        return take(15, 3000);
    }
    std::uint32_t lastCharAt() const { return m_lastAt; }

private:
    sim::InProcessLine& m_line;
    base::VirtualClock& m_clock;
    std::uint32_t m_lastAt = 0;
};

// A device, its line and the program side on one virtual clock.
struct Bench {
    explicit Bench(sim::DeviceConfig config = sim::DeviceConfig())
        : device(std::move(config)), line(clock, device), program(line, clock) {}
    base::VirtualClock clock;
    sim::DeviceModel device;
    sim::InProcessLine line;
    ProgramSide program;
};

inline const char* kPort = "COM3";
inline const std::string kGreeting = std::string("KYST-SM-2.10\r?") + sim::kXon;
inline const std::string kRowDone = std::string(1, sim::kXoff) + "~" + sim::kXon;

} // namespace simtest
