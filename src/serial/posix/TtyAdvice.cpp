// Advice on a tty that did not open: stat, the groups of the user, /proc.
#include "serial/posix/TtyAdvice.h"

#include <cstdio>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Printable.h"
#include "serial/Ports.h"
#include "serial/posix/TtyHolders.h"

namespace serial::posix {

namespace {

bool UserIsInGroup(gid_t group) {
    if (::getegid() == group) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<std::size_t>(i)] == group) {
            return true;
        }
    }
    return false;
}

// The group's name, or its number where the group database has none. Reentrant: several
// updates' threads may ask at once.
std::string GroupName(gid_t gid) {
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return base::Escaped(found->gr_name);
    }
    return std::to_string(gid);
}

std::string UserName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return base::Escaped(found->pw_name);
    }
    return std::to_string(uid);
}

// Who may read and write a file of this mode and owner: "its owner, root", "the group dialout",
// "nobody but root".
std::string WhoMayUse(const struct stat& st) {
    const bool owner = (st.st_mode & S_IRUSR) != 0 && (st.st_mode & S_IWUSR) != 0;
    const bool group = (st.st_mode & S_IRGRP) != 0 && (st.st_mode & S_IWGRP) != 0;
    std::string who;
    if (owner) {
        who = "its owner " + UserName(st.st_uid);
    }
    if (group) {
        who += (who.empty() ? "" : " and ") + std::string("the group ") + GroupName(st.st_gid);
    }
    return who.empty() ? "nobody but root" : who;
}

} // namespace

std::string TtyOpenAdvice(const std::string& path, const base::SystemError& error) {
    using Cause = base::SystemError::Cause;
    const std::string shown = base::Escaped(path);
    switch (error.cause) {
    case Cause::kAccessDenied: {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            return std::string();
        }
        const bool groupMay = (st.st_mode & S_IRGRP) != 0 && (st.st_mode & S_IWGRP) != 0;
        if (groupMay && UserIsInGroup(st.st_gid)) {
            return shown + " may be used by the group " + GroupName(st.st_gid) +
                   ", which you are in; if you joined it lately, log out and in again.";
        }
        if (groupMay) {
            return shown + " may be used by the group " + GroupName(st.st_gid) +
                   ": join it (sudo " + "usermod -aG " + GroupName(st.st_gid) +
                   " \"$USER\"), then log out and in again.";
        }
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return shown + " belongs to " + UserName(st.st_uid) + ":" + GroupName(st.st_gid) +
               " with mode " + mode + ": " + WhoMayUse(st) +
               " may use it, and joining a group does not help. Ask an administrator for access: "
               "a udev rule that gives the device a group you are in (for instance "
               "GROUP=\"dialout\", "
               "MODE=\"0660\"), or chown or chmod on it.";
    }
    case Cause::kBusy: {
        const std::string holder = OtherHolderOf(path);
        return holder.empty()
                   ? CloseHolderAdvice(shown)
                   : shown + " is held open by " + base::Escaped(holder) + ": close it first.";
    }
    case Cause::kNoSuchPort:
        return kMissingPortAdvice;
    case Cause::kNotASerialPort:
    case Cause::kUnknown:
        break;
    }
    return std::string();
}

} // namespace serial::posix
