#pragma once

// A target's check at start that it reaches the code it names: it reads a
// known photo of the samples and stops the run with an error when that gives
// nothing, so a target that was built or linked wrong can never run empty.

#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string knownPhoto(const char* name) { return std::string(QUORIX_SOURCE_DIR) + "/samples/" + name; }

// Stops the run when `reached` is false, naming what is missing.
inline void requireReached(bool reached, const std::string& what)
{
    if (reached)
        return;
    std::fprintf(stderr, "fuzz target set-up: %s\n", what.c_str());
    std::exit(1);
}
