// Checks of the description file: the text file's line rules, and the package the dialog reads.
#pragma once
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/TextFile.h"
#include "support/ProgramHarness.h"

namespace fuzzing {

// The line rules written out plainly: Ctrl-Z ends the text, LF or CR LF ends a line, a lone CR
// stays in its line, and a last line without a line end still counts when it holds a character.
inline std::vector<std::string> ModelLines(const std::string& bytes) {
    std::size_t end = bytes.find('\x1A');
    if (end == std::string::npos) {
        end = bytes.size();
    }
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < end; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
            pending = false;
        } else if (c == '\r' && i + 1 < end && bytes[i + 1] == '\n') {
            lines.push_back(current);
            current.clear();
            pending = false;
            ++i;
        } else {
            current.push_back(c);
            pending = true;
        }
    }
    if (pending) {
        lines.push_back(current);
    }
    return lines;
}

inline std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            static const char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out + "\"";
}

// Reads the file with base::TextFile twice (the second time after a rewind) and compares every
// line with the model. Empty when all agree, else what differed.
inline std::string CheckTextFileLines(const std::string& path, const std::string& bytes) {
    const std::vector<std::string> expected = ModelLines(bytes);
    base::TextFile file;
    if (!file.Open(path)) {
        return "the text file did not open";
    }
    for (int pass = 0; pass < 2; ++pass) {
        std::string line;
        std::size_t n = 0;
        while (file.ReadString(line)) {
            if (n >= expected.size()) {
                return "pass " + std::to_string(pass) + ": extra line " + Quote(line);
            }
            if (line != expected[n]) {
                return "pass " + std::to_string(pass) + ": line " + std::to_string(n + 1) +
                       " read " + Quote(line) + ", expected " + Quote(expected[n]);
            }
            ++n;
        }
        if (!line.empty()) {
            return "a read past the end left text in the line";
        }
        if (n != expected.size()) {
            return "pass " + std::to_string(pass) + ": " + std::to_string(n) + " lines, expected " +
                   std::to_string(expected.size());
        }
        file.SeekToBegin();
    }
    return "";
}

// Whether the text file class would open this path: a regular file that can be read. The name
// goes to the file system as a C string, so it ends at its first NUL.
inline bool OpensAsTextFile(const std::string& path) {
    const std::string cpath = path.c_str();
    const int fd = ::open(cpath.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

// Names that would leave the package folder are not handed to the dialog, so a run never looks
// at files outside it.
inline bool StaysInFolder(const std::string& name) {
    return name.find("..") == std::string::npos;
}

// Opens the main dialog over a package folder whose description file holds `bytes` and which
// also holds upd.hex; the description's second line may or may not name that file. Empty when
// the dialog read the package as the line rules say, else what differed.
inline std::string CheckDescriptionPackage(const std::string& bytes) {
    const std::vector<std::string> lines = ModelLines(bytes);
    if (lines.size() >= 2 && !StaysInFolder(lines[1])) {
        return "";
    }
    ProgramHarness h;
    h.portMap.add("\\Device\\Serial0", "COM1");
    h.folder.write("upd.hex", ":00000001FF\r\n");
    h.folder.write("Keystrand_SM.txt", bytes);

    std::string verdict = CheckTextFileLines(h.folder.path("Keystrand_SM.txt"), bytes);
    if (!verdict.empty()) {
        return "text file: " + verdict;
    }

    const bool bothLines = lines.size() >= 2;
    const bool usable = bothLines && OpensAsTextFile(h.folder.dir() + lines[1]);
    std::string version;
    std::string fileLine;
    std::string storedVersion;
    std::string storedName;
    bool beginEnabled = false;
    CUpdateDlg dlg;
    h.run(dlg, [&](CUpdateDlg& d, fw::host::DialogModel&) {
        version = d.GetDlgItemText(IDC_FIRMWARE_VERSION);
        fileLine = d.GetDlgItemText(IDC_FIRMWARE_FILE);
        storedVersion = d.m_strFirmwareVersion;
        storedName = d.m_strHexFileName;
        beginEnabled = d.IsDlgItemEnabled(IDC_BEGIN_UPDATE) != FALSE;
    });
    const auto& boxes = h.ui.messageBoxes();

    auto differ = [&](const char* what, const std::string& got, const std::string& want) {
        return std::string(what) + ": " + Quote(got) + ", expected " + Quote(want);
    };
    const std::string wantVersion = usable ? lines[0] : "";
    const std::string wantName = usable ? lines[1] : "";
    if (storedVersion != wantVersion) {
        return differ("version", storedVersion, wantVersion);
    }
    if (storedName != wantName) {
        return differ("HEX file name", storedName, wantName);
    }
    if (version != "Firmware version  =  " + wantVersion) {
        return differ("version line", version, "Firmware version  =  " + wantVersion);
    }
    if (beginEnabled != usable) {
        return usable ? "Begin Update disabled for a usable package"
                      : "Begin Update enabled for an unusable package";
    }
    if (!bothLines) {
        if (!boxes.empty()) {
            return "a message for a description without two lines: " + Quote(boxes[0].text);
        }
        if (fileLine != "Firmware file  =") {
            return differ("file line", fileLine, "Firmware file  =");
        }
        return "";
    }
    const std::string prefix = "Firmware file  =  " + lines[1];
    if (!usable) {
        // A message box takes its text as a C string: it ends at the first NUL.
        const std::string want = std::string(
            ("Unable to open the firmware hex file:     \n     " + lines[1] + "     ").c_str());
        if (boxes.size() != 1 || boxes[0].text != want ||
            boxes[0].caption != "Keystrand SM Update") {
            return boxes.empty() ? "no message for a missing HEX file"
                                 : differ("message", boxes[0].text, want);
        }
        if (fileLine != prefix) {
            return differ("file line", fileLine, prefix);
        }
        return "";
    }
    if (!boxes.empty()) {
        return "a message for a usable package: " + Quote(boxes[0].text);
    }
    if (fileLine.compare(0, prefix.size() + 6, prefix + "     (") != 0 || fileLine.back() != ')') {
        return differ("file line", fileLine, prefix + "     (...)");
    }
    return "";
}

} // namespace fuzzing
