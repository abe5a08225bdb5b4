// Fuzz target: the input is the device's script byte and its identity reply to "<V".
#include <cstddef>
#include <cstdint>

#include "DeviceRunChecks.h"
#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzing::RequireHolds("identity_reply", fuzzing::CheckIdentityReply(bytes));
    return 0;
}
