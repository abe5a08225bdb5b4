// A text file read one line at a time, with the same line rules on every host.
#pragma once
#include <cstdio>
#include <string>

namespace fw {

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

// Text-mode reading: CR LF or LF end a line, a lone CR stays in the line, Ctrl-Z (0x1A) ends
// the text. Nothing is trimmed and lines have no length limit. The file is opened without
// sharing and closed by Close or when the object goes away.
class TextFile {
public:
    TextFile() = default;
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // FALSE when the file cannot be opened for reading, or another process holds it.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }
    // Empties line, then reads the next line into it without its line end. FALSE when the end of
    // the text came before any character of the line.
    bool ReadString(std::string& line);
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
    std::FILE* m_file = nullptr;
    bool m_atEnd = false;
};

} // namespace fw
