// The firmware package as keystrand-update reads it: the description file and the HEX file it
// names, with what is wrong when either cannot be used.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

namespace console {

// No HEX file of the device comes near this: its whole flash written as 16-byte records takes a
// few hundred KiB.
constexpr std::size_t kMaxHexFileBytes = 8u << 20;

struct Package {
    enum class Problem {
        kNone,
        kDescriptionUnreadable, // the description file cannot be opened or read (reason)
        kNoVersionLine,         // the description file is empty
        kNoHexLine,             // it has the version but no second line
        kEmptyHexLine,          // its second line is empty
        kHexUnreadable,         // the HEX file it names cannot be opened or read (reason)
        kHexTooLarge,           // larger than kMaxHexFileBytes
    };
    std::string descriptionPath;
    std::string version; // line 1, as it stands; valid from kNoHexLine on
    std::string hexName; // line 2, as it stands (blanks belong to the name)
    std::string hexPath; // the folder followed by the name
    std::string hexText; // the HEX file's bytes, read once: what is checked is what is sent
    std::string hexSha256;
    Problem problem = Problem::kNone;
    std::string reason; // why a file could not be opened or read

    bool ok() const { return problem == Problem::kNone; }
    bool versionRead() const {
        return problem == Problem::kNone || problem == Problem::kNoHexLine ||
               problem == Problem::kEmptyHexLine || problem == Problem::kHexUnreadable ||
               problem == Problem::kHexTooLarge;
    }
};

// Why a file cannot be read, in a user's words ("no such file", "in use by another update").
using FileProblem = std::function<std::string(const std::string& path)>;

// Reads the description file in folderPrefix (a folder ending in its separator, or empty) and
// the whole HEX file it names, with the dialog's line rules: line 1 the version, line 2 the file
// name, nothing trimmed. Nothing stays open. whyUnreadable explains a file that cannot be
// opened.
Package ReadPackage(const std::string& folderPrefix, const FileProblem& whyUnreadable);

// The file's bytes, at most limit of them; false when it cannot be opened or read, or is larger
// (tooLarge set).
bool ReadWholeFile(const std::string& path, std::size_t limit, std::string* bytes, bool* tooLarge);

// One line that says what is wrong, e.g. "\"Keystrand_SM.txt\" has no line 2 (the HEX file's
// name)"; file names quoted so that a trailing blank shows.
std::string DescribePackageProblem(const Package& package);

} // namespace console
