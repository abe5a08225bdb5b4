// How a program's modem-line requests reach a simulated device served on a pseudo-terminal.
//
// The device listens on a Unix socket (sequenced packets) in the abstract namespace whose name
// comes from the device numbers of its terminal's slave end, so that whoever holds a descriptor
// of that terminal finds the device with fstat alone, and the name vanishes with the device. One
// request per connection: the program's request, the device's reply, closed. The line bits are
// the kernel's TIOCM_ values.
//
// Only C headers here: the preloaded library is also built for 32-bit programs, without the C++
// library.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>

namespace sim::wire {

constexpr uint32_t kMagic = 0x4C4D534Bu; // "KSML" as it lies in memory

enum Op : uint32_t {
    kGet = 1, // read every line
    kSet = 2, // DTR and RTS as the bits say
    kSetBits = 3,
    kClearBits = 4,
};

struct Request {
    uint32_t magic;
    uint32_t op;
    uint32_t lines;
};

struct Reply {
    uint32_t magic;
    int32_t error;  // 0, or the errno of a request that failed (EIO: the status read failed)
    uint32_t lines; // every line after the request
};

// How long a program waits for the device's reply, and the device for the program's request.
constexpr int kProgramWaitMs = 2000;
constexpr int kDeviceWaitMs = 100;

// The socket's name for the terminal of those device numbers (st_dev, st_rdev), the leading NUL
// of the abstract namespace included; its length, or 0 when it does not fit.
inline unsigned SocketName(unsigned long long dev, unsigned long long rdev, char* out,
                           unsigned size) {
    if (size < 2) {
        return 0;
    }
    out[0] = '\0';
    const int n = snprintf(out + 1, size - 1, "keystrand-sim/modem-lines/%llx/%llx", dev, rdev);
    return n > 0 && static_cast<unsigned>(n) < size - 1 ? static_cast<unsigned>(n) + 1 : 0;
}

// The socket's address for the terminal of those device numbers, and its size; false when the
// name does not fit.
inline bool SocketAddress(unsigned long long dev, unsigned long long rdev, sockaddr_un* address,
                          socklen_t* size) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    const unsigned length = SocketName(dev, rdev, address->sun_path, sizeof address->sun_path);
    *size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    return length != 0;
}

// Every send and receive on the socket waits at most that long.
inline void SetWaitMs(int fd, int ms) {
    timeval limit{};
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

} // namespace sim::wire
