// The `quorix` command: the photo facts and the settings of Quorix for people
// at a terminal. It is itself a host application, so its settings live in its
// own user defaults, and it loads the library as the viewer does.

#include "cli/Command.h"
#include "cli/InfoCommand.h"
#include "cli/LibraryHost.h"
#include "cli/Output.h"
#include "cli/PlacesCommand.h"
#include "cli/SettingsCommand.h"

#include "runtime/AutoreleasePool.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <unistd.h>
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
        addPlacesCommand(app),
        addSettingsCommand(app),
    };

    // Everything meant for standard output goes through one stream that
    // keeps why a write failed, so lost output is an error, not a success.
    DescriptorOutput output(STDOUT_FILENO);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& request) {
        // --help and --version: printed on stdout, exit status 0.
        return finishOutput(output, app.exit(request, output.stream(), std::cerr), std::cerr);
    } catch (const CLI::ParseError& error) {
        return usageError(app, parseErrorMessage(app, error), std::cerr);
    }

    // Like any host, the command loads its libraries before it runs.
    loadLibraries(std::cerr);
    try {
        for (const auto& command : commands) {
            if (command.app->parsed())
                return finishOutput(output, command.run(output.stream(), std::cerr), std::cerr);
        }
    } catch (const std::exception& error) {
        std::cerr << "quorix: " << error.what() << '\n';
        return ExitFailure;
    }
    return usageError(app, "no command given", std::cerr);
}
