#include "cli/SettingsCommand.h"

#include "cli/LibraryHost.h"

#include "foundation/NSUserDefaults.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cstring>
#include <memory>
#include <ostream>

namespace quorix::cli {

namespace {

// Each setting: its user-defaults key and the store's property for it. The
// store is the library's, reached by name like every class of it.
struct Setting {
    std::string_view key;
    const char* getter;
    const char* setter;
};

// In the order they are listed.
constexpr std::array kSettings {
    Setting { "quorix_mapview_retrieveaddress", "mapViewRetrieveAddressEnabled", "setMapViewRetrieveAddressEnabled:" },
    Setting { "quorix_mapsapp_querylocation", "mapsAppQueryLocationEnabled", "setMapsAppQueryLocationEnabled:" },
    Setting { "quorix_stamp_enabled", "stampEnabled", "setStampEnabled:" },
};

NSObject* settingsStore(std::ostream& err)
{
    Class cls = libraryClass("Quorix", err);
    return cls ? objc::sendClass<NSObject*>(cls, "sharedQuorix") : nullptr;
}

const Setting* findSetting(std::string_view key)
{
    for (const auto& setting : kSettings) {
        if (setting.key == key)
            return &setting;
    }
    return nullptr;
}

struct Arguments {
    std::string key;
    std::string value;
    CLI::Option* keyOption = nullptr;
    CLI::Option* valueOption = nullptr;
};

int listSettings(std::ostream& out, std::ostream& err)
{
    NSObject* store = settingsStore(err);
    if (!store)
        return ExitFailure;
    for (const auto& setting : kSettings)
        out << setting.key << ' ' << (objc::send<bool>(store, setting.getter) ? "true" : "false") << '\n';
    return ExitSuccess;
}

int changeSetting(const CLI::App& command, const Arguments& arguments, std::ostream& err)
{
    const Setting* setting = findSetting(arguments.key);
    if (!setting)
        return usageError(command, "unknown setting '" + arguments.key + "'", err);
    if (arguments.valueOption->count() == 0)
        return usageError(command, "no value for " + arguments.key + " (true or false)", err);
    if (arguments.value != "true" && arguments.value != "false")
        return usageError(command, "'" + arguments.value + "' is not a value for " + arguments.key + " (true or false)", err);

    NSObject* store = settingsStore(err);
    if (!store)
        return ExitFailure;
    objc::send(store, setting->setter, arguments.value == "true");
    if (!objc::send<bool>(store, "lastSaveSucceeded")) {
        // The store keeps its failures to itself; a person is told the file and why.
        const std::string& file = NSUserDefaults::standardUserDefaults()->filePath();
        err << "quorix: cannot save settings: " << (file.empty() ? "" : file + ": ")
            << std::strerror(static_cast<int>(objc::send<NSInteger>(store, "lastSaveError"))) << '\n';
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace

Command addSettingsCommand(CLI::App& app)
{
    auto* command = app.add_subcommand("settings", "Show the settings, or change one.");
    auto arguments = std::make_shared<Arguments>();
    arguments->keyOption = command->add_option("KEY", arguments->key,
        "quorix_mapview_retrieveaddress, quorix_mapsapp_querylocation or quorix_stamp_enabled");
    arguments->valueOption = command->add_option("VALUE", arguments->value, "true or false");

    return Command { command, [command, arguments](std::ostream& out, std::ostream& err) {
                        if (arguments->keyOption->count() == 0)
                            return listSettings(out, err);
                        return changeSetting(*command, *arguments, err);
                    } };
}

} // namespace quorix::cli
