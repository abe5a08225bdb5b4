// The COM port table on Linux: which tty or pseudo-terminal stands for each port number COMn.
#pragma once
#include <cstddef>
#include <map>
#include <string>

namespace serial::posix {

// A plain map from n to a device path, filled before a port is opened (by the console program
// from the ttys it finds and its options, by tests and tools with their pseudo-terminals).
class ComPortTable {
public:
    void set(int port, const std::string& path) { m_paths[port] = path; }
    void remove(int port) { m_paths.erase(port); }
    void clear() { m_paths.clear(); }

    // The path for COMn, or an empty string when the port has no entry.
    std::string pathFor(int port) const {
        auto it = m_paths.find(port);
        return it == m_paths.end() ? std::string() : it->second;
    }
    const std::map<int, std::string>& entries() const { return m_paths; }

    // The n of a Windows device path "\\.\COMn" (COM in any case, n in decimal without leading
    // zeros, 1 or more), or -1 when the path has another form.
    static int portFromDevicePath(const char* path) {
        if (path == nullptr) {
            return -1;
        }
        static const char prefix[] = "\\\\.\\COM";
        std::size_t i = 0;
        for (; prefix[i] != '\0'; ++i) {
            char c = path[i];
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
            if (c != prefix[i]) {
                return -1;
            }
        }
        if (path[i] < '1' || path[i] > '9') {
            return -1;
        }
        long n = 0;
        for (; path[i] != '\0'; ++i) {
            if (path[i] < '0' || path[i] > '9') {
                return -1;
            }
            n = n * 10 + (path[i] - '0');
            if (n > 9999) {
                return -1; // no Windows port number is that long; keeps n far from overflow
            }
        }
        return static_cast<int>(n);
    }

private:
    std::map<int, std::string> m_paths;
};

} // namespace serial::posix
