// The settling time, from the environment where it is set.
#include "console/os/Settle.h"

#include <cstdlib>
#include <string>

namespace console {

std::uint32_t SettleMs() {
    const char* text = std::getenv("KEYSTRAND_UPDATE_SETTLE_MS");
    if (text == nullptr || *text == '\0' || std::string(text).size() > 6) {
        return kDefaultSettleMs;
    }
    std::uint32_t ms = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return kDefaultSettleMs;
        }
        ms = ms * 10 + static_cast<std::uint32_t>(*c - '0');
    }
    return ms <= kLongestSettleMs ? ms : kDefaultSettleMs;
}

} // namespace console
