// A files seam whose streams fail to read at a chosen point: a disk or share that gives out in
// the middle of a file, without waiting for one to do so.
#pragma once
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <sys/types.h>

#include "base/TextFile.h"

class FailingFiles : public base::FileOpener {
public:
    // Files whose name ends in `suffix` are served from memory; the read that would pass byte
    // `failAtByte` (counted over every read of the stream, rewinds included) fails with EIO.
    // Only the `failOnOpen`-th opening of such a file (1 for the first, 0 for every one) fails.
    void failReading(const std::string& suffix, long failAtByte, int failOnOpen = 0) {
        m_suffix = suffix;
        m_failAt = failAtByte;
        m_failOnOpen = failOnOpen;
    }
    int opensOfFailingFile() const { return m_opens; }

    std::FILE* openForReading(const std::string& path) override {
        if (m_suffix.empty() || path.size() < m_suffix.size() ||
            path.compare(path.size() - m_suffix.size(), m_suffix.size(), m_suffix) != 0) {
            return base::SystemFiles().openForReading(path);
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return nullptr;
        }
        auto* stream =
            new Stream{std::string(std::istreambuf_iterator<char>(in), {}), 0, 0, m_failAt};
        ++m_opens;
        if (m_failOnOpen != 0 && m_failOnOpen != m_opens) {
            stream->failAt = -1;
        }
        cookie_io_functions_t io{};
        io.read = &Read;
        io.seek = &Seek;
        io.close = &Close;
        return ::fopencookie(stream, "rb", io);
    }

private:
    struct Stream {
        std::string bytes;
        std::size_t position;
        long delivered; // bytes handed out over the stream's life
        long failAt;    // -1: never
    };

    static ssize_t Read(void* cookie, char* buffer, std::size_t size) {
        auto* s = static_cast<Stream*>(cookie);
        std::size_t n = 0;
        while (n < size && s->position < s->bytes.size()) {
            if (s->failAt >= 0 && s->delivered >= s->failAt) {
                if (n > 0) {
                    break; // hand out what was read; the next read fails
                }
                errno = EIO;
                return -1;
            }
            buffer[n++] = s->bytes[s->position++];
            s->delivered++;
        }
        return static_cast<ssize_t>(n);
    }
    static int Seek(void* cookie, off64_t* offset, int whence) {
        auto* s = static_cast<Stream*>(cookie);
        if (whence != SEEK_SET || *offset < 0) {
            return -1;
        }
        s->position = static_cast<std::size_t>(*offset);
        return 0;
    }
    static int Close(void* cookie) {
        delete static_cast<Stream*>(cookie);
        return 0;
    }

    std::string m_suffix;
    long m_failAt = -1;
    int m_failOnOpen = 0;
    int m_opens = 0;
};
