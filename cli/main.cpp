// The `quorix` command: the photo facts and the settings of Quorix for people
// at a terminal. It is itself a host application, so its settings live in its
// own user defaults.

#include "Command.h"
#include "InfoCommand.h"
#include "SettingsCommand.h"

#include "runtime/AutoreleasePool.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <vector>

using namespace quorix::cli;

int main(int argc, char** argv)
{
    AutoreleasePool pool;

    CLI::App app("Photo facts and settings of Quorix.", "quorix");
    app.set_version_flag("--version", QUORIX_VERSION);
    app.require_subcommand(1);

    // Each subcommand lives in its own files and adds itself here.
    std::vector<Command> commands {
        addInfoCommand(app),
        addSettingsCommand(app),
    };

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& request) {
        // --help and --version: printed on stdout, exit status 0.
        return app.exit(request);
    } catch (const CLI::ParseError& error) {
        return usageError(app, error.what(), std::cerr);
    }

    try {
        for (const auto& command : commands) {
            if (command.app->parsed())
                return command.run(std::cout, std::cerr);
        }
    } catch (const std::exception& error) {
        std::cerr << "quorix: " << error.what() << '\n';
        return ExitFailure;
    }
    return usageError(app, "no command given", std::cerr);
}
