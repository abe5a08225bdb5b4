// The ttys of a Linux machine as serial ports: the listing, sysfs, stat and the tty line.
#include "serial/posix/TtyPortSet.h"

#include <sys/stat.h>

#include "serial/posix/TtyAdvice.h"
#include "serial/posix/TtyLine.h"
#include "serial/posix/TtyPorts.h"
#include "serial/posix/TtyWatch.h"

namespace serial::posix {

std::vector<PortInfo> TtyPortSet::list() {
    return ListTtys(m_devDir, m_sysDir);
}

bool TtyPortSet::canonicalName(const std::string& text, std::string* name, std::string* error) {
    if (text.find('/') != std::string::npos) {
        *name = text;
        return true;
    }
    *error = "--port takes the port's path, such as /dev/ttyUSB0, not \"" + text + "\"";
    if (text.rfind("tty", 0) == 0) {
        *error += " (did you mean /dev/" + text + "?)";
    } else if (text.size() > 3 && (text[0] == 'C' || text[0] == 'c')) {
        *error += "; --list-ports shows the ports present";
    }
    return false;
}

std::string TtyPortSet::identity(const std::string& name) {
    return ResolvedPath(name);
}

bool TtyPortSet::present(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
}

std::string TtyPortSet::describe(const std::string& name) {
    return DescribeTty(name, m_sysDir);
}

std::unique_ptr<Line> TtyPortSet::line(const std::string& name) {
    return std::make_unique<TtyLine>(name);
}

std::string TtyPortSet::openAdvice(const std::string& name, const base::SystemError& error) {
    return TtyOpenAdvice(name, error);
}

std::unique_ptr<PortWatch> TtyPortSet::watch(base::Clock& clock) {
    return WatchTtys(m_devDir, clock);
}

} // namespace serial::posix
