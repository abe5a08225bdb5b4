// serial::PortFilter: which ports a user means, by what the system tells of each: the USB vendor
// and product ids, the adapter's serial number, a pattern of the name.
#pragma once
#include <string>
#include <vector>

#include "serial/PortInfo.h"

namespace serial {

// One filter, "vid=0403,pid=6001", "serial=A1B2C3", "name=ttyUSB*": a port passes when it meets
// every part. Ids are hex (up to four digits, "0x" allowed); a serial number is compared whole,
// case ignored; a name pattern takes * (any run of characters) and ? (one), case ignored, and
// is matched against the port's name and its other name, each whole or only its last part.
// A port whose USB ids or serial number the system does not tell never passes a filter on them.
class PortFilter {
public:
    // False, with a reason a user can act on, when the text is not a filter.
    static bool Parse(const std::string& text, PortFilter* filter, std::string* error);

    bool passes(const PortInfo& port) const;
    // As the user gave it.
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
    std::string m_vendorId;
    std::string m_productId;
    std::string m_serialNumber;
    std::string m_namePattern;
};

// Whether the port passes any of the filters; every port passes none given.
bool PassesAny(const std::vector<PortFilter>& filters, const PortInfo& port);

// The ports that pass, in their order.
std::vector<PortInfo> Filtered(const std::vector<PortFilter>& filters,
                               const std::vector<PortInfo>& ports);

// Whether the text matches the pattern (* any run, ? one character), case ignored.
bool MatchesPattern(const std::string& pattern, const std::string& text);

} // namespace serial
