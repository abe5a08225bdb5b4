// The text file: text-mode line rules over the C library, identical on Windows and the host.
#include "base/TextFile.h"

#include <ctime>
#include <sys/stat.h>

#ifdef _WIN32
#include <share.h>
#else
#include <sys/file.h>
#endif

namespace base {

namespace {

constexpr int kCtrlZ = 0x1A;

class CLibraryFiles : public FileOpener {
public:
    std::FILE* openForReading(const std::string& path) override {
#ifdef _WIN32
        // Deny every other opener, as the framework's exclusive text file does.
        return _fsopen(path.c_str(), "rb", _SH_DENYRW);
#else
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file != nullptr) {
            struct stat st {};
            // A folder opens on the host but is no text file; another holder of the lock
            // refuses us.
            if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) ||
                flock(fileno(file), LOCK_EX | LOCK_NB) != 0) {
                std::fclose(file);
                file = nullptr;
            }
        }
        return file;
#endif
    }
};

} // namespace

FileOpener& SystemFiles() {
    static CLibraryFiles files;
    return files;
}

TextFile::TextFile(FileOpener* opener) : m_opener(opener != nullptr ? *opener : SystemFiles()) {}

TextFile::~TextFile() {
    Close();
}

bool TextFile::Open(const std::string& path) {
    Close();
    if (path.empty()) {
        return false;
    }
    m_file = m_opener.openForReading(path);
    m_atEnd = false;
    m_readFailed = false;
    return m_file != nullptr;
}

bool TextFile::OpenText(const std::string& text) {
    Close();
    m_text = &text;
    m_position = 0;
    m_atEnd = false;
    m_readFailed = false;
    return true;
}

int TextFile::NextByte() {
    if (m_atEnd) {
        return EOF;
    }
    int c = EOF;
    if (m_text != nullptr) {
        if (m_position < m_text->size()) {
            c = static_cast<unsigned char>((*m_text)[m_position++]);
        }
    } else {
        c = std::fgetc(m_file);
        if (c == EOF && std::ferror(m_file) != 0) {
            m_readFailed = true;
        }
    }
    if (c == EOF || c == kCtrlZ) {
        m_atEnd = true;
        return EOF;
    }
    return c;
}

bool TextFile::ReadString(std::string& line) {
    return ReadString(line, line.max_size(), nullptr);
}

bool TextFile::ReadString(std::string& line, std::size_t maxLength, bool* truncated) {
    line.clear();
    if (truncated != nullptr) {
        *truncated = false;
    }
    if (!IsOpen()) {
        return false;
    }
    bool any = false;
    for (;;) {
        const int c = NextByte();
        if (c == EOF) {
            if (m_readFailed) {
                line.clear();
                return false;
            }
            return any;
        }
        any = true;
        if (c == '\n') {
            return true;
        }
        if (c == '\r') {
            const int next = NextByte();
            if (next == '\n') {
                return true;
            }
            if (next != EOF) {
                // A lone CR stays in the line; what follows it is read again.
                if (m_text != nullptr) {
                    m_position--;
                } else {
                    std::ungetc(next, m_file);
                }
            } else if (m_readFailed) {
                line.clear();
                return false;
            }
        }
        if (line.size() < maxLength) {
            line.push_back(static_cast<char>(c));
        } else if (truncated != nullptr) {
            *truncated = true;
        }
    }
}

void TextFile::SeekToBegin() {
    if (m_text != nullptr) {
        m_position = 0;
        m_atEnd = false;
    } else if (m_file != nullptr) {
        std::clearerr(m_file);
        m_readFailed = std::fseek(m_file, 0, SEEK_SET) != 0;
        m_atEnd = m_readFailed;
    }
}

void TextFile::Close() {
    m_text = nullptr;
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool TextFile::ToLocalTime(long long secondsSince1970, LocalTime* time) {
    *time = LocalTime{};
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    if (static_cast<long long>(t) != secondsSince1970 || secondsSince1970 < 0) {
        return false;
    }
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &t) != 0) {
        return false;
    }
#else
    if (localtime_r(&t, &local) == nullptr) {
        return false;
    }
#endif
    time->year = local.tm_year + 1900;
    time->month = local.tm_mon + 1;
    time->day = local.tm_mday;
    time->hour = local.tm_hour;
    time->minute = local.tm_min;
    time->second = local.tm_sec;
    return true;
}

bool TextFile::GetModificationTime(LocalTime* time) const {
    *time = LocalTime{};
    if (m_file == nullptr) {
        return false;
    }
#ifdef _WIN32
    struct _stat64 st {};
    if (_fstat64(_fileno(m_file), &st) != 0) {
        return false;
    }
#else
    struct stat st {};
    if (fstat(fileno(m_file), &st) != 0) {
        return false;
    }
#endif
    return ToLocalTime(static_cast<long long>(st.st_mtime), time);
}

} // namespace base
