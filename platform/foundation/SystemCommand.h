#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// The full path of an executable found on PATH, if any.
std::optional<std::string> findExecutable(std::string_view name);

// Starts a program without a shell and without waiting for it: the caller
// never blocks on it and no zombie is left behind. `stdinText`, when given,
// is written to the program's standard input. False when it could not be started.
bool spawnDetached(const std::vector<std::string>& argv, std::optional<std::string_view> stdinText = std::nullopt);

} // namespace foundation
