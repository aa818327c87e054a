#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace quorix::cli {

// Exit statuses of the `quorix` command.
enum ExitStatus : int {
    ExitSuccess = 0,
    ExitFailure = 1,
    ExitUsage = 2,
};

// A subcommand: the CLI11 subcommand it added to the application, and what
// runs when the command line chose it (after parsing succeeded).
struct Command {
    CLI::App* app = nullptr;
    std::function<int(std::ostream& out, std::ostream& err)> run;
};

// Prints "quorix: MESSAGE" and the usage of the command line's subcommand (or
// of the program when none was chosen) on `err`; returns ExitUsage.
int usageError(const CLI::App& app, const std::string& message, std::ostream& err);

} // namespace quorix::cli
