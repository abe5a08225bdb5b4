// The preloaded library: the modem-line requests on a simulated device's terminal answered by
// the device; every other descriptor and request passed to the system untouched.
//
// Both names of the system call are taken: ioctl, and __ioctl_time64, which 32-bit programs
// built with 64-bit time (32-bit Wine among them) call instead.
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <sys/ioctl.h>

#include "ModemLinesClient.h"
#include "sim/ModemLinesWire.h"

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);

IoctlFunction g_ioctl = nullptr;
IoctlFunction g_ioctlTime64 = nullptr;

// The system's function of that name, looked up once (a race looks it up twice, harmlessly).
IoctlFunction System(IoctlFunction* cache, const char* name, const char* fallback) {
    IoctlFunction f = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
    if (f == nullptr) {
        void* found = ::dlsym(RTLD_NEXT, name);
        if (found == nullptr && fallback != nullptr) {
            found = ::dlsym(RTLD_NEXT, fallback);
        }
        f = reinterpret_cast<IoctlFunction>(found);
        __atomic_store_n(cache, f, __ATOMIC_RELEASE);
    }
    return f;
}

// The device's operation for a request, or 0 for a request that is not the modem lines'.
uint32_t OperationOf(unsigned long request) {
    switch (request) {
    case TIOCMGET:
        return sim::wire::kGet;
    case TIOCMSET:
        return sim::wire::kSet;
    case TIOCMBIS:
        return sim::wire::kSetBits;
    case TIOCMBIC:
        return sim::wire::kClearBits;
    default:
        return 0;
    }
}

int Call(IoctlFunction system, int fd, unsigned long request, void* argument) {
    const uint32_t op = OperationOf(request);
    if (op != 0 && argument != nullptr) {
        int* bits = static_cast<int*>(argument);
        uint32_t lines = 0;
        int error = 0;
        const uint32_t given = op == sim::wire::kGet ? 0 : static_cast<uint32_t>(*bits);
        if (modem_lines::AskDevice(fd, op, given, &lines, &error) ==
            modem_lines::Asked::kAnswered) {
            if (error != 0) {
                errno = error;
                return -1;
            }
            if (op == sim::wire::kGet) {
                *bits = static_cast<int>(lines);
            }
            return 0;
        }
    }
    if (system == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return system(fd, request, argument);
}

void* Argument(va_list arguments) {
    return va_arg(arguments, void*);
}

} // namespace

// Everything else of the library stays hidden (-fvisibility=hidden).
#define KEYSTRAND_EXPORTED __attribute__((visibility("default")))

extern "C" {

// The C library's own name and signature, so that every call of the program reaches it first.
KEYSTRAND_EXPORTED int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    void* argument = Argument(arguments);
    va_end(arguments);
    return Call(System(&g_ioctl, "ioctl", nullptr), fd, request, argument);
}

KEYSTRAND_EXPORTED int __ioctl_time64(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = Argument(arguments);
    va_end(arguments);
    return Call(System(&g_ioctlTime64, "__ioctl_time64", "ioctl"), fd, request, argument);
}

} // extern "C"
