#include "cli/Command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>

namespace quorix::cli {

namespace {

const CLI::App* rootOf(const CLI::App& app)
{
    const CLI::App* root = &app;
    while (root->get_parent())
        root = root->get_parent();
    return root;
}

// The deepest subcommand the command line chose below `app`, or `app`.
const CLI::App* chosenCommand(const CLI::App& app)
{
    const CLI::App* chosen = &app;
    for (auto parsed = chosen->get_subcommands(); !parsed.empty(); parsed = chosen->get_subcommands())
        chosen = parsed.front();
    return chosen;
}

// "quorix settings": the names from the program down to `app`.
std::string commandName(const CLI::App& app)
{
    std::string name = app.get_name();
    for (const CLI::App* parent = app.get_parent(); parent; parent = parent->get_parent())
        name = parent->get_name() + " " + name;
    return name;
}

std::string usageLine(const CLI::App& app)
{
    auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(app.get_formatter());
    std::string line = formatter ? formatter->make_usage(&app, commandName(app)) : "Usage: " + commandName(app) + " ...";
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    return line;
}

} // namespace

int usageError(const CLI::App& app, const std::string& message, std::ostream& err)
{
    const CLI::App* root = rootOf(app);
    err << "quorix: " << message << '\n'
        << usageLine(*chosenCommand(app)) << '\n'
        << "Try '" << root->get_name() << " --help' for more information.\n";
    return ExitUsage;
}

std::string parseErrorMessage(const CLI::App& app, const CLI::ParseError& error)
{
    const CLI::App* root = rootOf(app);
    auto leftovers = root->remaining(true);
    if (leftovers.empty()) {
        if (chosenCommand(*root) == root && root->get_require_subcommand_min() > 0)
            return "no command given";
        return error.what();
    }
    const std::string& first = leftovers.front();
    if (first.size() > 1 && first.front() == '-')
        return "unknown option '" + first + "'";
    if (chosenCommand(*root) == root)
        return "unknown command '" + first + "'";
    return "unexpected argument '" + first + "'";
}

} // namespace quorix::cli
