// A text file read one line at a time, with the same line rules on every host.
#pragma once
#include <cstdio>
#include <string>

namespace base {

// A calendar time in the local time zone. A time that cannot be converted reads as
// month, day and year 0 and hour, minute and second -1.
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = -1;
    int minute = -1;
    int second = -1;
};

// The files seam: how a text file is opened for reading. Tests put streams of their own behind it
// (a disk that fails in the middle of a file, for one).
class FileOpener {
public:
    virtual ~FileOpener() = default;
    // A stream positioned at the start of the file, or null when it cannot be opened (missing,
    // not a regular file, refused, or held by another opener).
    virtual std::FILE* openForReading(const std::string& path) = 0;
};

// The machine's own files through the C library, opened without sharing.
FileOpener& SystemFiles();

// Text-mode reading: CR LF or LF end a line, a lone CR stays in the line, Ctrl-Z (0x1A) ends
// the text. Nothing is trimmed and lines have no length limit. The file is opened without
// sharing and closed by Close or when the object goes away.
class TextFile {
public:
    // Opens through the given seam; null means the machine's own files.
    explicit TextFile(FileOpener* opener = nullptr);
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // FALSE when the file cannot be opened for reading, or another process holds it.
    bool Open(const std::string& path);
    // Reads the text held in memory instead of a file, with the same line rules; the text must
    // stay as it is until Close. It has no modification time.
    bool OpenText(const std::string& text);
    bool IsOpen() const { return m_file != nullptr || m_text != nullptr; }
    // Empties line, then reads the next line into it without its line end. FALSE when the end of
    // the text came before any character of the line, or when reading failed (ReadFailed tells
    // the two apart: a line cut short by a failure is not handed out).
    bool ReadString(std::string& line);
    // As above, but keeps at most maxLength characters of the line; the rest of it is read and
    // dropped, and truncated (when given) says whether anything was.
    bool ReadString(std::string& line, std::size_t maxLength, bool* truncated);
    // Whether a read since the last Open or SeekToBegin failed for another reason than the end.
    bool ReadFailed() const { return m_readFailed; }
    // Back to the start of the file.
    void SeekToBegin();
    void Close();
    // The file's time of last modification in local calendar time; FALSE (and the failure
    // values of LocalTime) when it cannot be had or converted.
    bool GetModificationTime(LocalTime* time) const;

    // The conversion of a file time (seconds since 1970) into local calendar time.
    static bool ToLocalTime(long long secondsSince1970, LocalTime* time);

private:
    int NextByte();
    FileOpener& m_opener;
    std::FILE* m_file = nullptr;
    const std::string* m_text = nullptr; // the text read instead of a file
    std::size_t m_position = 0;          // in m_text
    bool m_atEnd = false;
    bool m_readFailed = false;
};

} // namespace base
