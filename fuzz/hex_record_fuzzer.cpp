// Fuzz target: the input is one HEX row for the record check, and the fields of a built row.
#include <cstddef>
#include <cstdint>

#include "FuzzMain.h"
#include "HexRowChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzing::RequireHolds("hex_record", fuzzing::CheckAcceptedRow(bytes));
    fuzzing::RequireHolds("hex_record", fuzzing::CheckBuiltRow(bytes));
    return 0;
}
