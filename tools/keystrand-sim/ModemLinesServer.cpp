// The modem-line socket of a simulated device: listen, accept, one request and its reply.
#include "ModemLinesServer.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace keystrand_sim {

namespace {

// Requests answered per call, so that a flood of them never starves the line itself.
constexpr int kMaxPerServe = 16;

bool Fail(std::string* error, const std::string& what) {
    *error = what + ": " + std::strerror(errno);
    return false;
}

} // namespace

ModemLinesServer::~ModemLinesServer() {
    close();
}

void ModemLinesServer::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool ModemLinesServer::listen(const std::string& slavePath, std::string* error) {
    close();
    struct stat st;
    if (::stat(slavePath.c_str(), &st) != 0) {
        return Fail(error, "stat " + slavePath);
    }
    sockaddr_un address{};
    socklen_t size = 0;
    if (!sim::wire::SocketAddress(st.st_dev, st.st_rdev, &address, &size)) {
        *error = "the modem-line socket's name does not fit";
        return false;
    }
    m_fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        return Fail(error, "modem-line socket");
    }
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
        ::listen(m_fd, 16) != 0) {
        const bool ok = Fail(error, "modem-line socket for " + slavePath);
        close();
        return ok;
    }
    return true;
}

int ModemLinesServer::serve(const Answer& answer) {
    int served = 0;
    while (m_fd >= 0 && served < kMaxPerServe) {
        const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            break; // none waiting (EAGAIN), or one that gave up already
        }
        serveOne(connection, answer);
        ::close(connection);
        ++served;
    }
    return served;
}

void ModemLinesServer::serveOne(int connection, const Answer& answer) {
    ucred peer{};
    socklen_t peerSize = sizeof peer;
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0 ||
        (peer.uid != ::getuid() && peer.uid != 0)) {
        return; // another user's program: not this device's business
    }
    // The program sends its request right after connecting; a silent one is not waited for long.
    sim::wire::SetWaitMs(connection, sim::wire::kDeviceWaitMs);
    sim::wire::Request request{};
    if (::recv(connection, &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request) ||
        request.magic != sim::wire::kMagic) {
        return;
    }
    const sim::wire::Reply reply = answer(request);
    ::send(connection, &reply, sizeof reply, MSG_NOSIGNAL);
}

} // namespace keystrand_sim
