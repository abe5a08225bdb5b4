// A pseudo-terminal pair whose slave end stands in for the device's serial port.
#pragma once
#include <cstdint>
#include <string>

namespace keystrand_sim {

// Owns the master end. The slave end is what the program opens; a symbolic link can name it.
// The pair is armed so that the master reports POLLHUP while no program has the slave open.
class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Opens a new pair with the slave in raw mode at 115200 baud; false with a reason.
    bool create(std::string* error);
    void close();
    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

    // Points linkPath at the slave, replacing an existing symbolic link (never another kind of
    // file); false with a reason.
    bool link(const std::string& linkPath, std::string* error);
    // Removes the link if it still points at this pair's slave.
    void unlink();

    // The settings the program gave the slave: speed in baud (0 when unknown), data bits,
    // parity (0 none, 1 odd, 2 even) and stop bits (0 one, 2 two), as in the DCB.
    bool lineSettings(std::uint32_t* baud, int* dataBits, int* parity, int* stopBits) const;
    // Puts the slave back into raw mode, keeping its speed (only while no program holds it).
    void makeRaw();

private:
    int m_master = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

} // namespace keystrand_sim
