// The Keystrand SM as seen from its serial line: application firmware, boot loader, flash image.
#pragma once
#include "sim/DeviceLog.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"
#include "sim/ModemLines.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace sim {

enum class Mode { ApplicationFirmware, BootLoader };

// What the device does when a byte arrives while the line is not set as its firmware expects
// (9600 8N1 for the application firmware, 115200 8N1 for the boot loader).
enum class BaudCheck {
    Off,    // take the byte
    Log,    // take the byte, log the mismatch and count it
    Reject, // log and count, and drop the byte, as a UART at another speed would garble it
};

struct DeviceConfig {
    Mode mode = Mode::BootLoader;
    // The six characters after "\rKYST-SM-00," in the identity reply.
    std::string serial = "123456";
    // Output pacing: each character takes 10 bit times at this speed; 0 sends at once.
    std::uint32_t paceBaud = 0;
    // Pacing at the speed the program last set on the line instead (paceBaud until it set one),
    // as a real line runs: the application firmware's exchange at 9600, the boot loader's at
    // 115200.
    bool paceAtLineSpeed = false;
    // From "<W" until the boot loader runs and DSR drops.
    Micros restartMicros = 20000;
    BaudCheck baudCheck = BaudCheck::Log;
    // After "@" the device starts its (new) application firmware: DSR on again, "<V" answered.
    bool startApplicationAfterUpdate = false;
    // A boot loader that accepts an identification request erases its image first.
    bool eraseOnIdentify = true;
    // What the flash holds before any update (the firmware the device came with).
    Image initialImage;
    std::size_t logCapBytes = 4u << 20;
    // Distinct bytes the flash holds; a data row that would go beyond is refused as a bad row.
    std::size_t flashCapBytes = 1u << 20;
    // Output queued but not yet read by the program; beyond it, characters are lost (counted).
    std::size_t outputCapBytes = 256u << 10;
    std::vector<Fault> faults;
};

struct DeviceStats {
    int opens = 0;
    int closes = 0;
    int identityReplies = 0;
    int restarts = 0;
    int sessions = 0; // identification requests answered
    int rowsAccepted = 0;
    int rowsRejected = 0;
    int fileCompletes = 0; // times "@" was sent
    int baudMismatches = 0;
    int faultsApplied = 0;
    int statusReads = 0;          // reads of the modem lines, failed ones included
    std::size_t strayBytes = 0;   // bytes where the boot loader expected a row to begin
    std::size_t ignoredBytes = 0; // bytes that formed no command or request
    std::size_t outputLost = 0;   // characters beyond the output cap
    std::size_t purgedBytes = 0;  // characters the program's purges dropped
};

// A passive model: the transport tells it the time with every call (microseconds, never going
// back), hands it the program's bytes and takes its output when it becomes readable.
//
// Boot loader behaviour: it answers exactly "#&!KYST-SM35" with "KYST-SM-2.10" CR, "?" and XON.
// A row is complete when ':' and 10 + 2 * length hex characters have arrived. A valid row is
// flashed (extended linear and segment address records honoured) and answered XOFF, "~" and the
// next XON; the end-of-file record is answered "@" alone. A row that fails its check (format,
// checksum, type, flash full) is answered NAK (0x15) followed by XON: the device drops the row
// and asks for it again. Characters where a row must begin (a line end after a row, anything
// after "@") are strays: the first of a run is answered NAK, the rest are dropped until ':'.
// Each opening of the line starts a new boot-loader session awaiting the identification request.
//
// The modem lines: the device holds DSR, CTS and DCD on while its application firmware runs; on
// "<W" they drop restartMicros later, when the boot loader takes over. DTR and RTS are the
// program's.
class DeviceModel {
public:
    explicit DeviceModel(DeviceConfig config = DeviceConfig());

    // The line, as the transport sees it.
    void lineOpened(Micros now);
    void lineClosed(Micros now);
    // Line settings the program applied: speed, data bits, parity (0 none) and stop bits
    // (0 one, as in the DCB).
    void lineSettings(Micros now, std::uint32_t baud, int dataBits = 8, int parity = 0,
                      int stopBits = 0);
    // DTR and RTS as the program set them; each change is logged. They drop when the line closes.
    void controlLines(Micros now, bool dtr, bool rts);
    void receive(Micros now, const void* data, std::size_t size);
    // Output characters readable at now, and taking them.
    std::size_t readable(Micros now);
    std::size_t read(Micros now, void* buffer, std::size_t max);
    // Drops the characters readable at now (the program purged its input); returns the count.
    std::size_t purge(Micros now);
    // When the next queued character becomes readable; false when nothing is queued.
    bool nextDelivery(Micros* when) const;
    // When something next happens by itself: a character becomes readable, a restart or the
    // start of the application is due. False when nothing is pending.
    bool nextWake(Micros* when) const;
    // Every modem line at now, as they are.
    ModemStatus modemLines(Micros now);
    // Every modem line as the program's port reads it at now; false when the read fails (the
    // status fault), leaving *status as it was. Reads are counted.
    bool readModemStatus(Micros now, ModemStatus* status);
    // DTR and RTS as the program last set them.
    bool dtr() const { return m_lines.dtr(); }
    bool rts() const { return m_lines.rts(); }
    // True after a hangup fault, until the line is next opened.
    bool hungUp() const { return m_hungUp; }
    // Applies what was scheduled up to now (a restart, the start of the application).
    void advance(Micros now);
    // A line event worth keeping in the log (the transport's own, e.g. "purge").
    void note(Micros now, const std::string& event);

    Mode mode() const { return m_mode; }
    const Image& image() const { return m_image; }
    const DeviceStats& stats() const { return m_stats; }
    int rowsAccepted() const { return m_stats.rowsAccepted; }
    // True once "@" has been sent in the current session (cleared when a new one begins).
    bool fileComplete() const { return m_fileComplete; }
    bool dead() const { return m_dead; }
    std::uint32_t lineBaud() const { return m_lineBaud; }
    const DeviceLog& log() const { return m_log; }
    DeviceLog& log() { return m_log; }
    const DeviceConfig& config() const { return m_config; }
    void addFault(const Fault& fault);
    // The start address from a start address record, if one came.
    bool startAddress(std::uint32_t* address) const;

private:
    enum class BootState { AwaitId, AwaitRowStart, InRow, Done };

    // The output of one step with its faults applied; false when the device went dead there.
    bool emit(Micros now, Step step, int row, const std::string& normal);
    // Queues raw characters behind all earlier output.
    void queue(Micros now, const std::string& bytes);
    // Time one character takes on the line when paced (10 bits), else 0.
    Micros characterMicros() const;
    bool sendXon(Micros now);
    void receiveByte(Micros now, std::uint8_t b);
    void applicationByte(Micros now, std::uint8_t b);
    void bootByte(Micros now, std::uint8_t b);
    void identify(Micros now);
    void completeRow(Micros now);
    void rejectRow(Micros now, const std::string& why);
    void stray(Micros now, std::uint8_t b);
    void startBootLoader(Micros now);
    // A fault of the cable (no DSR wire) holds from the start.
    void takeCableFault(const Fault& fault);
    // The dsr faults that act when "<W" is accepted at now, the boot loader due at bootAt.
    void applyDsrFaults(Micros now, Micros bootAt);
    void goDead(Micros now, bool hangup, const std::string& where);
    bool lineMatches() const;
    std::vector<const Fault*> faultsAt(Step step, int row);

    DeviceConfig m_config;
    DeviceLog m_log;
    DeviceStats m_stats;
    Image m_image;
    HexAddressing m_addressing;

    Mode m_mode;
    ModemLines m_lines;
    bool m_dead = false;
    bool m_hungUp = false;
    bool m_lineOpen = false;
    std::uint32_t m_lineBaud = 0;
    bool m_lineFraming8N1 = true;
    Micros m_lastNow = 0;

    // A pending restart into the boot loader.
    bool m_restartPending = false;
    Micros m_restartAt = 0;
    bool m_restartKeepsDsr = false;
    // DSR stays on this long after the boot loader took over (a fault).
    Micros m_dsrDropDelay = 0;
    // A failed status read was logged since the line opened.
    bool m_statusFailureLogged = false;
    // A pending start of the application after "@".
    bool m_appStartPending = false;
    Micros m_appStartAt = 0;

    // Application firmware command recognition.
    std::string m_command;
    // Boot loader session.
    BootState m_bootState = BootState::AwaitId;
    std::string m_idWindow;
    std::string m_row;
    std::size_t m_rowExpected = 0;
    int m_sessionRows = 0;
    bool m_strayRun = false;
    bool m_fileComplete = false;
    bool m_haveStart = false;
    std::uint32_t m_startAddress = 0;

    // Output: (readable at, character), in order; the line is busy until m_lineFree.
    std::deque<std::pair<Micros, char>> m_output;
    Micros m_lineFree = 0;
    // Input: on a paced line, when the last character written by the program has arrived.
    Micros m_rxFree = 0;
    std::vector<int> m_faultUses;
    std::uint32_t m_noiseState = 0x2545F491u;
};

} // namespace sim
