// The Keystrand SM's serial protocol: what its application firmware and its boot loader say, and
// how long each of them may take to say it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace update {

// Application firmware, at 9600 baud 8N1. DSR on means it runs.
constexpr std::uint32_t kApplicationBaud = 9600;
constexpr char kIdentityCommand[] = "<V";
constexpr char kRestartCommand[] = "<W";
// The identity reply: 18 characters of which the first 12 are checked.
constexpr char kIdentityPrefix[] = "\rKYST-SM-00,";
constexpr std::size_t kIdentityPrefixLength = 12;
constexpr std::size_t kIdentityReplyLength = 18;
constexpr std::size_t kIdentityBufferSize = 25;

// Boot loader, at 115200 baud 8N1.
constexpr std::uint32_t kBootLoaderBaud = 115200;
constexpr char kIdentificationRequest[] = "#&!KYST-SM35";
constexpr char kExpectedVersion[] = "KYST-SM-2.10";
constexpr std::size_t kVersionLength = 12;
constexpr std::size_t kVersionBufferSize = 100;

constexpr char kCarriageReturn = 0x0D;
constexpr char kReadyChar = '?';
constexpr char kXonChar = 0x11;
constexpr char kXoffChar = 0x13;
constexpr char kLineCompleteChar = '~';
constexpr char kFileCompleteChar = 0x40;

// What the device sends in one piece, so that a face may wait for it whole: the identity reply;
// the boot loader's version line, its ready character and the first XON; after each row but
// the last XOFF, line complete and the next XON; after the last the at sign.
constexpr std::size_t kGreetingLength = kVersionLength + 3;
constexpr std::size_t kRowAnswerLength = 3;
constexpr std::size_t kLastRowAnswerLength = 1;

// Limits. The pause lets the boot loader settle at its speed before it is spoken to.
constexpr std::uint32_t kEntryLimitMs = 2000;
constexpr std::uint32_t kSettleMs = 100;
constexpr std::uint32_t kVersionLimitMs = 3000;
constexpr std::uint32_t kStepLimitMs = 2000;

} // namespace update
