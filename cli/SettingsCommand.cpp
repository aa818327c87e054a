#include "SettingsCommand.h"

#include "foundation/NSUserDefaults.h"
#include "settings/Quorix.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cstring>
#include <memory>
#include <ostream>

namespace quorix::cli {

namespace {

struct Setting {
    std::string_view key;
    bool (Quorix::*get)() const;
    void (Quorix::*set)(bool);
};

// In the order they are listed.
constexpr std::array kSettings {
    Setting { kQuorixMapViewRetrieveAddressKey, &Quorix::mapViewRetrieveAddressEnabled, &Quorix::setMapViewRetrieveAddressEnabled },
    Setting { kQuorixMapsAppQueryLocationKey, &Quorix::mapsAppQueryLocationEnabled, &Quorix::setMapsAppQueryLocationEnabled },
    Setting { kQuorixStampEnabledKey, &Quorix::stampEnabled, &Quorix::setStampEnabled },
};

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

int listSettings(std::ostream& out)
{
    auto* store = Quorix::sharedQuorix();
    for (const auto& setting : kSettings)
        out << setting.key << ' ' << ((store->*setting.get)() ? "true" : "false") << '\n';
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

    auto* store = Quorix::sharedQuorix();
    (store->*setting->set)(arguments.value == "true");
    if (!store->lastSaveSucceeded()) {
        // The store keeps its failures to itself; a person is told the file and why.
        const std::string& file = NSUserDefaults::standardUserDefaults()->filePath();
        err << "quorix: cannot save settings: " << (file.empty() ? "" : file + ": ") << std::strerror(store->lastSaveError()) << '\n';
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
                            return listSettings(out);
                        return changeSetting(*command, *arguments, err);
                    } };
}

} // namespace quorix::cli
