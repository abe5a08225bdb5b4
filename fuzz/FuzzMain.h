// What a fuzz target does with a broken invariant: report it and abort, so libFuzzer keeps it.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzing {

inline void RequireHolds(const char* target, const std::string& problems) {
    if (!problems.empty()) {
        std::fprintf(stderr, "%s: invariant broken: %s\n", target, problems.c_str());
        std::abort();
    }
}

} // namespace fuzzing
