// Fuzz target: the input is the description file Keystrand_SM.txt, read by the dialog.
#include <cstddef>
#include <cstdint>

#include "DescriptionChecks.h"
#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzing::RequireHolds("description_file", fuzzing::CheckDescriptionPackage(bytes));
    return 0;
}
