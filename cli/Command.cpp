#include "Command.h"

#include <CLI/CLI.hpp>

#include <ostream>

namespace quorix::cli {

int usageError(const CLI::App& app, const std::string& message, std::ostream& err)
{
    // The root's help shows the usage of the subcommand the command line chose,
    // with the program's name in front.
    const CLI::App* root = &app;
    while (root->get_parent())
        root = root->get_parent();
    err << "quorix: " << message << '\n'
        << root->help();
    return ExitUsage;
}

} // namespace quorix::cli
