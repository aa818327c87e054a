#pragma once

#include <stdexcept>

namespace viewer {

// A command that cannot be done as asked; the message says why, for a person.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace viewer
