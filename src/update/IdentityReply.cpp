// The identity reply's one comparison, at its 18th character.
#include "update/IdentityReply.h"

#include <cstring>

namespace update {

bool IdentityReply::take(char c) {
    if (m_count < kIdentityBufferSize) {
        m_reply[m_count] = c;
    }
    m_count++;
    if (m_count == kIdentityReplyLength &&
        std::memcmp(m_reply, kIdentityPrefix, kIdentityPrefixLength) == 0) {
        m_identity.assign(m_reply, kIdentityReplyLength);
        return true;
    }
    return false;
}

std::string IdentityReply::received() const {
    return std::string(m_reply, m_count < kIdentityBufferSize ? m_count : kIdentityBufferSize);
}

} // namespace update
