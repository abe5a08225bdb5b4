// Finding the simulated device behind a terminal by its device numbers, and one request to it.
#include "ModemLinesClient.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "sim/ModemLinesWire.h"

namespace modem_lines {

namespace {

// The connected socket of the device serving the terminal behind fd, or -1.
int ConnectToDevice(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return -1;
    }
    sockaddr_un address{};
    socklen_t size = 0;
    if (!sim::wire::SocketAddress(st.st_dev, st.st_rdev, &address, &size)) {
        return -1;
    }
    const int s = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return -1;
    }
    sim::wire::SetWaitMs(s, sim::wire::kProgramWaitMs);
    ucred peer{};
    socklen_t peerSize = sizeof peer;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
        ::getsockopt(s, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0 ||
        (peer.uid != ::geteuid() && peer.uid != 0)) {
        ::close(s); // nothing listens under that name: no simulated device serves this terminal
        return -1;
    }
    return s;
}

} // namespace

Asked AskDevice(int fd, uint32_t op, uint32_t request, uint32_t* lines, int* error) {
    const int savedErrno = errno;
    const int s = ConnectToDevice(fd);
    if (s < 0) {
        errno = savedErrno;
        return Asked::kNotADevice;
    }
    sim::wire::Request asked{sim::wire::kMagic, op, request};
    sim::wire::Reply reply{};
    if (::send(s, &asked, sizeof asked, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof asked) ||
        ::recv(s, &reply, sizeof reply, 0) != static_cast<ssize_t>(sizeof reply) ||
        reply.magic != sim::wire::kMagic) {
        // The device is there but did not answer in time: the request fails as on a dying line.
        *error = EIO;
    } else {
        *error = reply.error;
        *lines = reply.lines;
    }
    ::close(s);
    errno = savedErrno;
    return Asked::kAnswered;
}

} // namespace modem_lines
