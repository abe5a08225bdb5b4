// The application firmware's identity reply as it arrives, character by character.
#pragma once
#include <cstddef>
#include <string>

#include "update/DeviceProtocol.h"

namespace update {

// The 18th character completes a reply whose first 12 characters are compared once, then, with
// "\rKYST-SM-00,"; characters after it play no part, and only the first 25 are kept.
class IdentityReply {
public:
    // One more character; true when it completes a right reply.
    bool take(char c);
    // What was received, as far as it was kept.
    std::string received() const;
    // The 18 characters of the right reply; empty until one came.
    const std::string& identity() const { return m_identity; }

private:
    char m_reply[kIdentityBufferSize] = {};
    std::size_t m_count = 0;
    std::string m_identity;
};

} // namespace update
