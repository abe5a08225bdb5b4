// Reading the firmware package: the description file's two lines and the HEX file they name.
#include "console/Package.h"

#include "console/Text.h"
#include "fw/TextFile.h"

namespace console {

Package ReadPackage(const std::string& folderPrefix, const FileProblem& whyUnreadable) {
    Package p;
    p.descriptionPath = folderPrefix + kDescriptionFileName;
    fw::TextFile description;
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
    fw::TextFile hex;
    if (!hex.Open(p.hexPath)) {
        p.problem = Package::Problem::kHexUnreadable;
        p.reason = whyUnreadable(p.hexPath);
    }
    return p;
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
    }
    return std::string();
}

} // namespace console
