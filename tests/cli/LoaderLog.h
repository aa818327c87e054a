#pragma once

// What the dynamic loader's own log (LD_DEBUG=files) says a run loaded.

#include "cli/ChildProcess.h"

#include <string>

namespace testing_support {

// True when the log in `run`'s standard error names the shared object
// `file`, whoever asked for it.
inline bool loaded(const ChildResult& run, const std::string& file)
{
    return run.err.find("file=" + file) != std::string::npos || run.err.find("/" + file + " [") != std::string::npos;
}

} // namespace testing_support
