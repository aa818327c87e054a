#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace CLI {
class App;
class ParseError;
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

// Prints "quorix: MESSAGE", the one-line usage of the command line's
// subcommand (of the program when none was chosen) and where the full help
// is, on `err`; returns ExitUsage.
int usageError(const CLI::App& app, const std::string& message, std::ostream& err);

// What a command line that did not parse did wrong: the first argument that
// nothing took ("unknown command 'frobnicate'", "unknown option '--frob'",
// "unexpected argument 'extra'"), else the parser's own message.
std::string parseErrorMessage(const CLI::App& app, const CLI::ParseError& error);

} // namespace quorix::cli
