// How long a port that appeared must stay before the station updates the device behind it: USB
// adapters are not ready the moment their tty appears (udev sets its group and mode after).
#pragma once
#include <cstdint>

namespace console {

constexpr std::uint32_t kDefaultSettleMs = 1000;
constexpr std::uint32_t kLongestSettleMs = 60000;

// KEYSTRAND_UPDATE_SETTLE_MS when it holds a number of milliseconds up to kLongestSettleMs,
// else kDefaultSettleMs.
std::uint32_t SettleMs();

} // namespace console
