// keystrand-sim: serves the Keystrand SM device model on a pseudo-terminal in real time.
#include "ModemLinesServer.h"
#include "PtyLine.h"
#include "sim/DeviceModel.h"
#include "sim/Fault.h"
#include "sim/HexImage.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

struct Options {
    std::string link;
    sim::DeviceConfig device;
    std::string logPath;
    std::string imagePath;
    bool rawImage = false;
    std::string statusPath;
    unsigned maxSeconds = 0;
    bool quiet = false;
};

const char kUsage[] =
    "Usage: keystrand-sim [options]\n"
    "Serves a simulated Keystrand SM on a pseudo-terminal: a program opens the slave end as\n"
    "its serial port. Prints the path to open (the link, else the slave) on standard output\n"
    "once ready, then serves any number of opens and closes until SIGTERM or SIGINT, when it\n"
    "writes its outputs and removes the link.\n"
    "\n"
    "Options:\n"
    "  --link PATH            make PATH a symbolic link to the slave end (an existing link is\n"
    "                         replaced; any other file there is an error)\n"
    "  --mode app|boot        firmware running at the start (default boot). The application\n"
    "                         firmware answers \"<V\" and restarts into the boot loader on\n"
    "                         \"<W\"; it holds DSR, CTS and DCD on until then. A pty has no\n"
    "                         modem lines: a program sees them only when run under\n"
    "                         keystrand-modem-lines, else it takes the boot-loader road.\n"
    "  --fault ENTRY          add a fault entry; repeatable (syntax below)\n"
    "  --baud N|line          pace the line at N baud, 10 bits per character, both ways:\n"
    "                         the device's output, and the program's characters, which\n"
    "                         the device sees one character time after another\n"
    "                         (default 0: as fast as possible); line: at the speed the\n"
    "                         program set on its end (9600 for the application firmware's\n"
    "                         exchange, 115200 for the boot loader's), as a real line runs\n"
    "  --serial XXXXXX        the six characters after \"\\rKYST-SM-00,\" in the identity reply\n"
    "                         (default 123456)\n"
    "  --line-check off|log|reject\n"
    "                         bytes received while the slave is not set to the firmware's\n"
    "                         speed (9600 application, 115200 boot loader) and 8N1: taken\n"
    "                         (off), taken and logged (log, default), or dropped and logged\n"
    "  --restart-ms N         time from \"<W\" to the boot loader running and DSR dropping\n"
    "                         (default 20)\n"
    "  --start-app-after-update\n"
    "                         after \"@\" the device runs its application firmware again\n"
    "  --log FILE             write every received and sent character and every line event\n"
    "                         to FILE as they happen (at most 64 MiB)\n"
    "  --image-in FILE        the Intel-HEX firmware the flash holds at the start\n"
    "  --image-out FILE       write the flashed image to FILE after each completed transfer\n"
    "                         and at the end\n"
    "  --image-format hex|raw Intel HEX (default) or raw bytes from the lowest to the highest\n"
    "                         address with gaps filled with 0xFF\n"
    "  --status-file FILE     rewrite FILE (key=value lines) after every change: state\n"
    "                         (open, closed, stopped), opens, closes, sessions, rows_accepted,\n"
    "                         rows_rejected, file_complete, file_completes, mode, dead, pid,\n"
    "                         slave, the modem lines dsr, cts, dcd, dtr and rts (0 or 1), and\n"
    "                         modem_requests (those a program made under\n"
    "                         keystrand-modem-lines)\n"
    "  --max-seconds N        end by itself after N seconds (default 0: never)\n"
    "  --quiet                no line events on standard error\n"
    "  --help                 this text\n"
    "\n"
    "Each opening of the line starts a new boot-loader session awaiting the identification\n"
    "request; an accepted request erases the image. A row failing its check is answered NAK\n"
    "(0x15), then XON. Stray characters where a row must begin get one NAK per run.\n"
    "\n"
    "Modem lines: the device answers the modem-line requests of a program run under\n"
    "keystrand-modem-lines on its slave end (DSR, CTS and DCD as its firmware holds them;\n"
    "DTR and RTS as the program sets them) and logs every change with its time.\n"
    "\n";

bool ParseUnsigned(const char* text, unsigned long max, unsigned long* value) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > max || text[0] == '-') {
        return false;
    }
    *value = v;
    return true;
}

// Returns 0 to go on, or the exit status to end with.
int ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "keystrand-sim: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        unsigned long number = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(sim::FaultSyntaxHelp().c_str(), stdout);
            return -1;
        } else if (arg == "--quiet") {
            options->quiet = true;
        } else if (arg == "--start-app-after-update") {
            options->device.startApplicationAfterUpdate = true;
        } else if (arg == "--link" || arg == "--log" || arg == "--image-out" ||
                   arg == "--status-file") {
            const char* v = value(arg.c_str());
            if (v == nullptr) {
                return 2;
            }
            (arg == "--link"        ? options->link
             : arg == "--log"       ? options->logPath
             : arg == "--image-out" ? options->imagePath
                                    : options->statusPath) = v;
        } else if (arg == "--image-in") {
            const char* v = value("--image-in");
            if (v == nullptr) {
                return 2;
            }
            std::string error;
            if (!sim::ImageFromHexFile(v, &options->device.initialImage, &error)) {
                std::fprintf(stderr, "keystrand-sim: --image-in %s: %s\n", v, error.c_str());
                return 2;
            }
        } else if (arg == "--mode") {
            const char* v = value("--mode");
            if (v == nullptr) {
                return 2;
            }
            if (std::strcmp(v, "app") == 0) {
                options->device.mode = sim::Mode::ApplicationFirmware;
            } else if (std::strcmp(v, "boot") == 0) {
                options->device.mode = sim::Mode::BootLoader;
            } else {
                std::fprintf(stderr, "keystrand-sim: --mode is app or boot\n");
                return 2;
            }
        } else if (arg == "--image-format") {
            const char* v = value("--image-format");
            if (v == nullptr) {
                return 2;
            }
            if (std::strcmp(v, "raw") == 0) {
                options->rawImage = true;
            } else if (std::strcmp(v, "hex") == 0) {
                options->rawImage = false;
            } else {
                std::fprintf(stderr, "keystrand-sim: --image-format is hex or raw\n");
                return 2;
            }
        } else if (arg == "--line-check") {
            const char* v = value("--line-check");
            if (v == nullptr) {
                return 2;
            }
            if (std::strcmp(v, "off") == 0) {
                options->device.baudCheck = sim::BaudCheck::Off;
            } else if (std::strcmp(v, "log") == 0) {
                options->device.baudCheck = sim::BaudCheck::Log;
            } else if (std::strcmp(v, "reject") == 0) {
                options->device.baudCheck = sim::BaudCheck::Reject;
            } else {
                std::fprintf(stderr, "keystrand-sim: --line-check is off, log or reject\n");
                return 2;
            }
        } else if (arg == "--fault") {
            const char* v = value("--fault");
            if (v == nullptr) {
                return 2;
            }
            sim::Fault fault;
            std::string error;
            if (!sim::ParseFault(v, &fault, &error)) {
                std::fprintf(stderr, "keystrand-sim: --fault %s: %s\n", v, error.c_str());
                return 2;
            }
            options->device.faults.push_back(fault);
        } else if (arg == "--baud" && i + 1 < argc && std::strcmp(argv[i + 1], "line") == 0) {
            options->device.paceAtLineSpeed = true;
            ++i;
        } else if (arg == "--baud" || arg == "--restart-ms" || arg == "--max-seconds") {
            const char* v = value(arg.c_str());
            if (v == nullptr || !ParseUnsigned(v, 10000000, &number)) {
                std::fprintf(stderr, "keystrand-sim: %s needs a number\n", arg.c_str());
                return 2;
            }
            if (arg == "--baud") {
                options->device.paceBaud = static_cast<std::uint32_t>(number);
            } else if (arg == "--restart-ms") {
                options->device.restartMicros = static_cast<sim::Micros>(number) * 1000;
            } else {
                options->maxSeconds = static_cast<unsigned>(number);
            }
        } else if (arg == "--serial") {
            const char* v = value("--serial");
            if (v == nullptr) {
                return 2;
            }
            if (std::strlen(v) != 6) {
                std::fprintf(stderr, "keystrand-sim: --serial takes exactly 6 characters\n");
                return 2;
            }
            options->device.serial = v;
        } else {
            std::fprintf(stderr, "keystrand-sim: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }
    return 0;
}

// Writes a whole file by way of a temporary beside it, so that a reader never sees half of it.
bool WriteFileAtomically(const std::string& path, const std::string& content) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) {
            return false;
        }
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

class Server {
public:
    explicit Server(Options options)
        : m_options(std::move(options)), m_device(m_options.device),
          m_start(std::chrono::steady_clock::now()) {}

    int run();

private:
    sim::Micros now() const {
        return static_cast<sim::Micros>(std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now() - m_start)
                                            .count());
    }
    bool openLine();
    void onLogEntry(const sim::LogEntry& entry);
    // Nobody has the slave open: waits a little for a modem-line request meanwhile.
    bool slaveClosed();
    void noticeOpen();
    void serveModemLines();
    sim::wire::Reply answerModemLines(const sim::wire::Request& request);
    void serveOpen();
    void deliver();
    void peerClosed(const char* why);
    void hangup();
    void writeStatus(const char* state);
    void updateStatusIfChanged();
    void writeImage();

    Options m_options;
    sim::DeviceModel m_device;
    std::chrono::steady_clock::time_point m_start;
    keystrand_sim::PtyLine m_line;
    keystrand_sim::ModemLinesServer m_modemLines;
    int m_modemRequests = 0;
    bool m_peerOpen = false;
    std::string m_pending; // output taken from the device, not yet written to the master
    std::FILE* m_log = nullptr;
    std::size_t m_logBytes = 0;
    std::string m_lastStatus;
    int m_imageWrittenFor = 0;
};

void Server::onLogEntry(const sim::LogEntry& entry) {
    constexpr std::size_t kMaxLogBytes = 64u << 20;
    const std::string line = sim::DeviceLog::Format(entry) + "\n";
    if (m_log != nullptr) {
        if (m_logBytes + line.size() <= kMaxLogBytes) {
            std::fputs(line.c_str(), m_log);
            std::fflush(m_log);
            m_logBytes += line.size();
        } else if (m_logBytes < kMaxLogBytes + 1) {
            std::fputs("log limit reached; nothing more is written\n", m_log);
            std::fflush(m_log);
            m_logBytes = kMaxLogBytes + 1;
        }
    }
    if (!m_options.quiet && entry.kind == sim::LogKind::Event) {
        std::fprintf(stderr, "keystrand-sim: %s", line.c_str());
    }
}

bool Server::openLine() {
    std::string error;
    if (!m_line.create(&error)) {
        std::fprintf(stderr, "keystrand-sim: %s\n", error.c_str());
        return false;
    }
    if (!m_options.link.empty() && !m_line.link(m_options.link, &error)) {
        std::fprintf(stderr, "keystrand-sim: %s\n", error.c_str());
        return false;
    }
    if (!m_modemLines.listen(m_line.slavePath(), &error)) {
        std::fprintf(stderr, "keystrand-sim: %s\n", error.c_str());
        return false;
    }
    m_device.note(now(), "serving on " + m_line.slavePath() +
                             (m_options.link.empty() ? std::string()
                                                     : " (linked as " + m_options.link + ")"));
    return true;
}

void Server::writeStatus(const char* state) {
    if (m_options.statusPath.empty()) {
        return;
    }
    const sim::DeviceStats& s = m_device.stats();
    std::string text;
    text += std::string("state=") + state + "\n";
    text += "opens=" + std::to_string(s.opens) + "\n";
    text += "closes=" + std::to_string(s.closes) + "\n";
    text += "sessions=" + std::to_string(s.sessions) + "\n";
    text += "rows_accepted=" + std::to_string(s.rowsAccepted) + "\n";
    text += "rows_rejected=" + std::to_string(s.rowsRejected) + "\n";
    text += std::string("file_complete=") + (m_device.fileComplete() ? "1" : "0") + "\n";
    text += "file_completes=" + std::to_string(s.fileCompletes) + "\n";
    text +=
        std::string("mode=") + (m_device.mode() == sim::Mode::BootLoader ? "boot" : "app") + "\n";
    text += std::string("dead=") + (m_device.dead() ? "1" : "0") + "\n";
    text += "pid=" + std::to_string(getpid()) + "\n";
    text += "slave=" + m_line.slavePath() + "\n";
    const sim::ModemStatus lines = m_device.modemLines(now());
    const auto bit = [](bool on) { return on ? "1\n" : "0\n"; };
    text += std::string("dsr=") + bit(lines.dsr) + "cts=" + bit(lines.cts) +
            "dcd=" + bit(lines.dcd) + "dtr=" + bit(lines.dtr) + "rts=" + bit(lines.rts);
    text += "modem_requests=" + std::to_string(m_modemRequests) + "\n";
    if (text != m_lastStatus) {
        m_lastStatus = text;
        WriteFileAtomically(m_options.statusPath, text);
    }
}

void Server::updateStatusIfChanged() {
    writeStatus(m_peerOpen ? "open" : "closed");
    if (m_device.stats().fileCompletes != m_imageWrittenFor) {
        m_imageWrittenFor = m_device.stats().fileCompletes;
        writeImage();
    }
}

void Server::writeImage() {
    if (m_options.imagePath.empty()) {
        return;
    }
    std::string content;
    if (m_options.rawImage) {
        if (!sim::ImageToRaw(m_device.image(), &content)) {
            std::fprintf(stderr, "keystrand-sim: image spans more than 16 MiB; not written\n");
            return;
        }
    } else {
        content = sim::ImageToHex(m_device.image());
    }
    if (!WriteFileAtomically(m_options.imagePath, content)) {
        std::fprintf(stderr, "keystrand-sim: cannot write %s\n", m_options.imagePath.c_str());
    }
}

bool Server::slaveClosed() {
    struct pollfd pfd;
    pfd.fd = m_line.master();
    pfd.events = POLLIN;
    pfd.revents = 0;
    poll(&pfd, 1, 0);
    if ((pfd.revents & POLLHUP) == 0) {
        return false;
    }
    // Nobody has the slave open. Nothing is read here: a program that opens the line and writes
    // at once, between this look and a read, would lose its first bytes. What a previous opener
    // wrote was read before its close was noticed. A modem-line request meanwhile is answered.
    struct pollfd request;
    request.fd = m_modemLines.fd();
    request.events = POLLIN;
    request.revents = 0;
    if (poll(&request, 1, 5) > 0 && (request.revents & POLLIN) != 0) {
        serveModemLines();
    }
    return !m_peerOpen;
}

void Server::noticeOpen() {
    if (m_peerOpen) {
        return; // a modem-line request told of the open already
    }
    m_peerOpen = true;
    m_device.note(now(), "the program opened the line");
    m_device.lineOpened(now());
}

void Server::serveModemLines() {
    m_modemLines.serve(
        [this](const sim::wire::Request& request) { return answerModemLines(request); });
}

sim::wire::Reply Server::answerModemLines(const sim::wire::Request& request) {
    // Only a program that holds the slave open can ask; it may do so before its open is seen.
    noticeOpen();
    m_modemRequests++;
    sim::wire::Reply reply{};
    reply.magic = sim::wire::kMagic;
    const sim::Micros t = now();
    bool dtr = m_device.dtr();
    bool rts = m_device.rts();
    const bool dtrBit = (request.lines & TIOCM_DTR) != 0;
    const bool rtsBit = (request.lines & TIOCM_RTS) != 0;
    switch (request.op) {
    case sim::wire::kGet: {
        sim::ModemStatus s;
        if (!m_device.readModemStatus(t, &s)) {
            reply.error = EIO;
            return reply;
        }
        reply.lines = (s.dtr ? TIOCM_DTR : 0) | (s.rts ? TIOCM_RTS : 0) | (s.dsr ? TIOCM_DSR : 0) |
                      (s.cts ? TIOCM_CTS : 0) | (s.dcd ? TIOCM_CAR : 0);
        return reply;
    }
    case sim::wire::kSet:
        dtr = dtrBit;
        rts = rtsBit;
        break;
    case sim::wire::kSetBits:
        dtr = dtr || dtrBit;
        rts = rts || rtsBit;
        break;
    case sim::wire::kClearBits:
        dtr = dtr && !dtrBit;
        rts = rts && !rtsBit;
        break;
    default:
        reply.error = EINVAL;
        return reply;
    }
    m_device.controlLines(t, dtr, rts);
    return reply;
}

void Server::peerClosed(const char* why) {
    m_peerOpen = false;
    m_pending.clear();
    m_device.lineClosed(now());
    m_device.note(now(), why);
    // Nobody holds the slave now: give the next opener a raw line again.
    m_line.makeRaw();
}

void Server::hangup() {
    // The device closes the line: the program's handle dies with the old pair, and a new
    // pair under the same link serves the next open.
    m_pending.clear();
    if (m_peerOpen) {
        m_device.lineClosed(now());
    }
    m_peerOpen = false;
    // The new link is renamed over the old one, so the path never vanishes in between.
    if (!openLine()) {
        g_stop = 1;
    }
}

void Server::deliver() {
    char buffer[4096];
    while (m_pending.size() < (1u << 20)) {
        const std::size_t n = m_device.read(now(), buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        m_pending.append(buffer, n);
    }
    while (!m_pending.empty()) {
        const ssize_t written = ::write(m_line.master(), m_pending.data(), m_pending.size());
        if (written <= 0) {
            break; // the slave's input is full (EAGAIN) or the peer is going away
        }
        m_pending.erase(0, static_cast<std::size_t>(written));
    }
}

void Server::serveOpen() {
    // Sleep until input arrives or the device's next output is due, at most 50 ms.
    long timeoutMicros = 50000;
    sim::Micros wake = 0;
    if (!m_pending.empty()) {
        timeoutMicros = 1000;
    } else if (m_device.nextWake(&wake)) {
        const sim::Micros t = now();
        timeoutMicros = wake <= t ? 0 : static_cast<long>(std::min<sim::Micros>(wake - t, 50000));
    }
    struct pollfd fds[2];
    fds[0].fd = m_line.master();
    fds[0].events = POLLIN;
    fds[0].revents = 0;
    fds[1].fd = m_modemLines.fd();
    fds[1].events = POLLIN;
    fds[1].revents = 0;
    struct timespec ts;
    ts.tv_sec = 0;
    ts.tv_nsec = timeoutMicros * 1000;
    const int ready = ppoll(fds, 2, &ts, nullptr);
    if (ready < 0) {
        return; // a signal; the caller looks at the stop flag
    }
    if ((fds[1].revents & POLLIN) != 0) {
        serveModemLines();
    }
    const pollfd& pfd = fds[0];
    bool closed = false;
    if ((pfd.revents & POLLIN) != 0) {
        char buffer[4096];
        const ssize_t n = ::read(m_line.master(), buffer, sizeof buffer);
        if (n > 0) {
            std::uint32_t baud = 0;
            int dataBits = 8;
            int parity = 0;
            int stopBits = 0;
            if (m_line.lineSettings(&baud, &dataBits, &parity, &stopBits) && baud != 0) {
                m_device.lineSettings(now(), baud, dataBits, parity, stopBits);
            }
            m_device.receive(now(), buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EIO) {
            closed = true;
        }
    } else if ((pfd.revents & (POLLHUP | POLLERR)) != 0) {
        closed = true;
    }
    if (closed) {
        peerClosed("the program closed the line");
        return;
    }
    deliver();
    if (m_device.hungUp()) {
        hangup();
    }
}

int Server::run() {
    if (!m_options.logPath.empty()) {
        m_log = std::fopen(m_options.logPath.c_str(), "w");
        if (m_log == nullptr) {
            std::fprintf(stderr, "keystrand-sim: cannot write %s\n", m_options.logPath.c_str());
            return 1;
        }
    }
    m_device.log().setListener([this](const sim::LogEntry& entry) { onLogEntry(entry); });
    for (const auto& fault : m_options.device.faults) {
        m_device.note(0, "fault script: " + sim::FormatFault(fault));
    }
    if (!openLine()) {
        return 1;
    }
    std::printf("%s\n",
                m_options.link.empty() ? m_line.slavePath().c_str() : m_options.link.c_str());
    std::fflush(stdout);
    writeStatus("closed");

    while (g_stop == 0) {
        if (m_options.maxSeconds > 0 && now() >= m_options.maxSeconds * 1000000ull) {
            m_device.note(now(), "time limit reached");
            break;
        }
        m_device.advance(now());
        if (!m_peerOpen) {
            if (slaveClosed()) {
                updateStatusIfChanged();
                continue;
            }
            noticeOpen();
        }
        serveOpen();
        updateStatusIfChanged();
    }

    m_device.note(now(), "stopping");
    writeImage();
    writeStatus("stopped");
    m_line.unlink();
    m_line.close();
    m_device.log().setListener(nullptr);
    if (m_log != nullptr) {
        std::fclose(m_log);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    const int parsed = ParseOptions(argc, argv, &options);
    if (parsed == -1) {
        return 0;
    }
    if (parsed != 0) {
        return parsed;
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    Server server(std::move(options));
    return server.run();
}
