// The identity reply's one comparison at its 18th character, shared by the update and --identify.
#include "update/IdentityReply.h"

#include <gtest/gtest.h>

namespace {

// Feeds text; the position (from 1) of the character that completed a right reply, or 0.
std::size_t Feed(update::IdentityReply& reply, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (reply.take(text[i])) {
            return i + 1;
        }
    }
    return 0;
}

TEST(IdentityReply, TheEighteenthCharacterCompletesARightReply) {
    update::IdentityReply reply;
    EXPECT_EQ(Feed(reply, "\rKYST-SM-00,654321"), 18u);
    EXPECT_EQ(reply.identity(), "\rKYST-SM-00,654321");
    EXPECT_EQ(reply.received(), "\rKYST-SM-00,654321");
}

TEST(IdentityReply, SeventeenCharactersAreNoReply) {
    update::IdentityReply reply;
    EXPECT_EQ(Feed(reply, "\rKYST-SM-00,65432"), 0u);
    EXPECT_EQ(reply.identity(), "");
    EXPECT_EQ(reply.received(), "\rKYST-SM-00,65432");
}

TEST(IdentityReply, AWrongStartIsComparedOnceAndARightReplyAfterItCountsForNothing) {
    update::IdentityReply reply;
    EXPECT_EQ(Feed(reply, "\rKYST-SM-01,654321\rKYST-SM-00,654321"), 0u);
    EXPECT_EQ(reply.identity(), "");
    EXPECT_EQ(reply.received(), std::string("\rKYST-SM-01,654321\rKYST-S"))
        << "the first 25 characters are kept";
}

TEST(IdentityReply, TheSerialMayBeAnything) {
    update::IdentityReply reply;
    EXPECT_EQ(Feed(reply, std::string("\rKYST-SM-00,\0\xff\r\n~@", 18)), 18u);
}

} // namespace
