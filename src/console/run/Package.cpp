// Reading the firmware package: the description file's two lines and the HEX file they name.
#include "console/run/Package.h"

#include <cstdio>

#include "base/ProductNames.h"
#include "base/Sha256.h"
#include "base/TextFile.h"
#include "console/words/Text.h"

namespace console {

Package ReadPackage(const std::string& folderPrefix, const FileProblem& whyUnreadable) {
    Package p;
    p.descriptionPath = folderPrefix + DESCRIPTION_FILE_NAME;
    base::TextFile description;
    if (!description.Open(p.descriptionPath)) {
        p.problem = Package::Problem::kDescriptionUnreadable;
        p.reason = whyUnreadable(p.descriptionPath);
        return p;
    }
    const bool haveVersion = description.ReadString(p.version);
    const bool haveName = haveVersion && description.ReadString(p.hexName);
    const bool failed = description.ReadFailed();
    description.Close();
    if (failed) {
        p.problem = Package::Problem::kDescriptionUnreadable;
        p.reason = "a read error";
        return p;
    }
    if (!haveVersion) {
        p.problem = Package::Problem::kNoVersionLine;
        return p;
    }
    if (!haveName) {
        p.problem = Package::Problem::kNoHexLine;
        return p;
    }
    if (p.hexName.empty()) {
        p.problem = Package::Problem::kEmptyHexLine;
        return p;
    }
    p.hexPath = folderPrefix + p.hexName;
    bool tooLarge = false;
    if (!ReadWholeFile(p.hexPath, kMaxHexFileBytes, &p.hexText, &tooLarge)) {
        p.problem = tooLarge ? Package::Problem::kHexTooLarge : Package::Problem::kHexUnreadable;
        p.reason = tooLarge ? std::string() : whyUnreadable(p.hexPath);
        p.hexText.clear();
        return p;
    }
    p.hexSha256 = base::Sha256Hex(p.hexText);
    return p;
}

bool ReadWholeFile(const std::string& path, std::size_t limit, std::string* bytes, bool* tooLarge) {
    bytes->clear();
    *tooLarge = false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    char buffer[65536];
    std::size_t n = 0;
    while (bytes->size() <= limit && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes->append(buffer, n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    *tooLarge = bytes->size() > limit;
    return !failed && !*tooLarge;
}

std::string DescribePackageProblem(const Package& p) {
    const std::string description = Quoted(p.descriptionPath);
    switch (p.problem) {
    case Package::Problem::kNone:
        return std::string();
    case Package::Problem::kDescriptionUnreadable:
        return "cannot read the firmware description file " + description + ": " + p.reason;
    case Package::Problem::kNoVersionLine:
        return "the firmware description file " + description +
               " is empty: line 1 (the firmware version) is missing";
    case Package::Problem::kNoHexLine:
        return "the firmware description file " + description +
               " has no line 2 (the HEX file's name)";
    case Package::Problem::kEmptyHexLine:
        return "line 2 of the firmware description file " + description +
               " (the HEX file's name) is empty";
    case Package::Problem::kHexUnreadable:
        return "cannot read the firmware HEX file " + Quoted(p.hexPath) + ": " + p.reason;
    case Package::Problem::kHexTooLarge:
        return "the firmware HEX file " + Quoted(p.hexPath) + " is larger than " +
               std::to_string(kMaxHexFileBytes >> 20) +
               " MiB: no firmware of the " DEVICE_NAME " is, so it is not one";
    }
    return std::string();
}

} // namespace console
