// serial::ReadAhead: what one read from a line brought beyond what was asked, kept for the next.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace serial {

// How long characters take on a line of the given speed (9600 where none is set yet), in
// microseconds: ten bits each, 8N1 with its start and stop bits.
inline std::uint64_t LineTimeUs(std::uint64_t characters, std::uint32_t baud) {
    return characters * 10000000ULL / (baud > 0 ? baud : 9600);
}

// A device's answer often comes in one piece (XOFF, "~" and XON together): one system call
// takes it all, and the characters are handed out one by one from here. It also keeps how many
// characters the device is known to send next, less those handed out since.
class ReadAhead {
public:
    bool empty() const { return m_next == m_size; }
    // Hands out up to max characters kept; the count.
    int take(char* buffer, int max) {
        const int n = std::min(max, m_size - m_next);
        std::memcpy(buffer, m_bytes + m_next, static_cast<std::size_t>(n));
        m_next += n;
        m_expected -= std::min(m_expected, static_cast<std::size_t>(n));
        return n;
    }
    // The characters the device is known to send next (Line::expect), and of them those not yet
    // handed out: what a waiting read may gather, at most what one read takes.
    void expect(std::size_t characters) { m_expected = characters; }
    int gather() const {
        return static_cast<int>(std::min(m_expected, static_cast<std::size_t>(capacity())));
    }
    // Where a read may put its bytes, and how many it may put there.
    char* space() { return m_bytes; }
    static constexpr int capacity() { return sizeof m_bytes; }
    // The read put count bytes into the space: they are kept, all earlier ones dropped.
    void filled(int count) {
        m_size = count;
        m_next = 0;
    }
    void clear() {
        filled(0);
        m_expected = 0;
    }

private:
    char m_bytes[256] = {};
    int m_size = 0;
    int m_next = 0;
    std::size_t m_expected = 0;
};

} // namespace serial
