// Fuzz target: the input is all the boot loader sends after the identification request.
#include <cstddef>
#include <cstdint>

#include "DeviceRunChecks.h"
#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzing::RequireHolds("boot_loader_reply", fuzzing::CheckBootLoaderReply(bytes));
    return 0;
}
