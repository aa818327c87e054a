// quorix-viewer: the stand-in photo viewer as a program. It starts the host
// on a device of the chosen kind, loads the libraries of its
// dynamic-libraries folder as the phone's loader does, and opens the viewer
// on the first photo. Commands then drive it as a person would, from a
// script (one JSON answer per command), from a terminal, or from a browser
// page that the program serves on the loopback address.

#include "viewer/Commands.h"
#include "viewer/HostDevice.h"
#include "viewer/LineOutput.h"
#include "viewer/PhotoArguments.h"
#include "viewer/Session.h"
#include "viewer/ViewerOptions.h"
#include "viewer/serve/ListenSocket.h"
#include "viewer/serve/MapRoutes.h"
#include "viewer/serve/ServeMode.h"
#include "viewer/WPhotosAppController.h"

#include "loader/DynamicLibraryLoader.h"
#include "foundation/NSRunLoop.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UIDriver.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

constexpr const char* program = "quorix-viewer";

enum ExitStatus : int {
    ExitSuccess = 0,
    ExitFailure = 1,
    ExitUsage = 2,
};

int usageError(const std::string& message)
{
    std::cerr << program << ": " << message << '\n'
              << "Try '" << program << " --help' for more information.\n";
    return ExitUsage;
}

// What a command line that did not parse did wrong, in one line.
std::string parseErrorMessage(const CLI::App& app, const CLI::ParseError& error)
{
    auto leftovers = app.remaining(true);
    if (!leftovers.empty()) {
        const std::string& first = leftovers.front();
        if (first.size() > 1 && first.front() == '-')
            return "unknown option '" + first + "'";
        return "unexpected argument '" + first + "'";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) && app.get_option("photos")->count() == 0)
        return "no photo or folder given";
    return error.what();
}

int writeError(int error)
{
    std::cerr << program << ": write error: " << std::strerror(error) << '\n';
    return ExitFailure;
}

} // namespace

int main(int argc, char** argv)
{
    AutoreleasePool pool;
    // A closed pipe on standard output is reported as a write error rather
    // than ending the program silently. A handler that does nothing, not
    // SIG_IGN: programs the host starts (xdg-open) get the usual default back.
    std::signal(SIGPIPE, [](int) { });

    viewer::ViewerOptions options;
    std::string device;
    std::string system;
    CLI::App app("The stand-in photo viewer, with the libraries of its dynamic-libraries folder loaded.", program);
    app.set_version_flag("--version", QUORIX_VERSION);
    app.add_option("--device", device, "phone, tablet or an idiom number (default: phone)")->type_name("KIND");
    bool noIdiom = false;
    app.add_flag("--no-idiom", noIdiom, "a device that does not answer the idiom question (an early phone)");
    app.add_option("--system", system, "the system version, e.g. 6.1.6 or 7.1.2 (default: 7.0)")->type_name("VERSION");
    app.add_option("--library-dir", options.libraryFolder,
        std::string("load the libraries of DIR (default: $") + quorix::loader::LibraryFolderVariable
            + ", else lib/quorix/DynamicLibraries beside the program)")
        ->type_name("DIR");
    std::string host;
    app.add_option("--host", host,
           "full (the generation's own viewer), without-photosui (a version 7 system missing PhotosUI) "
           "or plain (a viewer class no extension knows); default: full")
        ->type_name("KIND");
    app.add_flag("--script", options.script, "read commands on standard input, answer each with one line of JSON");
    app.add_flag("--serve", options.serve, "serve the viewer as a web page on the loopback address until Ctrl-C");
    app.add_option("--port", options.serveSettings.port, "the port --serve listens on (default: 0, a free one)")
        ->type_name("N");
    app.add_option("--listen", options.serveSettings.address,
           "the address --serve listens on (default: 127.0.0.1; others expose the viewer to the network)")
        ->type_name("ADDRESS");
    bool noBrowser = false;
    app.add_flag("--no-browser", noBrowser, "with --serve: do not open the page in a browser");
    app.add_option("--map-tiles", options.serveSettings.mapTiles,
           "let the page's map fetch tiles from this server, e.g. https://tile.example.org/{z}/{x}/{y}.png "
           "(default: none, the map is drawn offline)")
        ->type_name("URL-TEMPLATE");
    app.add_option("photos", options.photos, "photo files, and folders whose image files are shown in name order")
        ->required()
        ->type_name("PHOTO-OR-FOLDER");
    app.footer(std::string("Commands:\n") + viewer::CommandRunner::summary());

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& request) {
        std::ostringstream out;
        int status = app.exit(request, out, std::cerr);
        viewer::LineOutput output(STDOUT_FILENO);
        return output.write(out.str()) ? status : writeError(output.error());
    } catch (const CLI::ParseError& error) {
        return usageError(parseErrorMessage(app, error));
    }
    if (!device.empty()) {
        options.device.idiom = viewer::parseIdiom(device);
        if (!options.device.idiom)
            return usageError("--device: '" + device + "' is not phone, tablet or an idiom number");
    }
    if (!host.empty()) {
        auto kind = viewer::parseHostKind(host);
        if (!kind)
            return usageError("--host: '" + host + "' is not full, without-photosui or plain");
        options.host = *kind;
    }
    if (options.script && options.serve)
        return usageError("--script and --serve cannot be used together");
    for (const char* serveOption : { "--port", "--listen", "--no-browser", "--map-tiles" }) {
        if (!options.serve && app.count(serveOption))
            return usageError(std::string(serveOption) + " needs --serve");
    }
    options.serveSettings.openBrowser = !noBrowser;
    if (app.count("--listen") && !viewer::ListenSocket::isListenAddress(options.serveSettings.address))
        return usageError("--listen: '" + options.serveSettings.address + "' is not an address or name of this machine");
    if (options.serveSettings.mapTiles && !viewer::isTileTemplate(*options.serveSettings.mapTiles))
        return usageError("--map-tiles: '" + *options.serveSettings.mapTiles + "' is not an http or https address with {z}, {x} and {y}");
    if (options.serveSettings.port < 0 || options.serveSettings.port > 65535)
        return usageError("--port: " + std::to_string(options.serveSettings.port) + " is not a port number (0 to 65535)");
    if (!system.empty() && !viewer::isVersion(system))
        return usageError("--system: '" + system + "' is not a version such as 7.1.2");
    options.device.systemVersion = system;
    options.device.answersIdiom = !noIdiom;

    // In a script session standard output carries the answers and nothing
    // else: whatever the host or a library prints goes to standard error.
    int answers = STDOUT_FILENO;
    if (options.script) {
        answers = dup(STDOUT_FILENO);
        if (answers < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            std::cerr << program << ": cannot set up standard output: " << std::strerror(errno) << '\n';
            return ExitFailure;
        }
    }

    auto photos = viewer::collectPhotos(options.photos);
    for (const auto& problem : photos.problems)
        std::cerr << program << ": " << problem << '\n';
    if (photos.paths.empty()) {
        std::cerr << program << ": no photos to show\n";
        return ExitFailure;
    }

    // The device first, then the host's frameworks, then the libraries:
    // their constructors see the host as it will run.
    viewer::simulateDevice(options.device);
    const auto generation = viewer::hostGeneration();
    if (generation == viewer::Generation::Seven && options.host != viewer::HostKind::WithoutPhotosUI) {
        if (auto failure = viewer::loadPhotosUI()) {
            std::cerr << program << ": cannot load PhotosUI: " << *failure << '\n';
            return ExitFailure;
        }
    }
    quorix::loader::loadLibraries(quorix::loader::libraryFolder(options.libraryFolder),
        [](const auto& failure) { quorix::loader::reportFailure(failure, program, std::cerr); });

    const char* viewerName = options.host == viewer::HostKind::Full ? viewer::viewerClassName(generation) : "PLPhotoViewerController";
    Class viewerClass = NSClassFromString(viewerName);
    if (!viewerClass) {
        std::cerr << program << ": this host has no viewer class " << viewerName << '\n';
        return ExitFailure;
    }
    auto application = objc::create<WPhotosAppController>("init");
    application->initWithViewerClassPaths(viewerClass, photos.paths);
    UIDriver driver;
    NSRunLoop::mainRunLoop().perform([&] {
        application->start();
        application->openViewer(0);
    });
    driver.settle();

    viewer::CommandRunner runner(*application, driver);
    viewer::LineOutput output(answers);
    if (options.serve) {
        const auto outcome = viewer::serve(runner, *application, driver, photos.paths, options.serveSettings, output);
        const int status = outcome.status != ExitSuccess || photos.problems.empty() ? outcome.status : ExitFailure;
        if (outcome.endAtOnce) {
            std::cout.flush();
            std::_Exit(status);
        }
        return status;
    }
    const bool written = options.script
        ? viewer::runScript(runner, std::cin, output)
        : viewer::runInteractive(runner, std::cin, output, std::cerr, isatty(STDIN_FILENO));
    if (!written)
        return writeError(output.error());
    return photos.problems.empty() ? ExitSuccess : ExitFailure;
}
