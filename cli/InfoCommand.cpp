#include "cli/InfoCommand.h"

#include "cli/CsvOutput.h"
#include "cli/InfoJson.h"
#include "cli/InfoScreen.h"
#include "cli/InfoTable.h"
#include "cli/LibraryHost.h"
#include "cli/Listing.h"
#include "cli/PathOptions.h"
#include "cli/PlaceOutput.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

namespace quorix::cli {

namespace {

enum class InfoOutput {
    Text, // laid out for a terminal of the given width
    JSON, // one object per line
};

struct Arguments {
    PathOptions files;
    bool json = false;
    bool csv = false;
};

// What one file's description prints: a JSON line, or the table as text;
// nothing for a file that is not an image.
std::optional<std::string> describePath(const std::string& path, InfoOutput output, int columns)
{
    auto description = readInfoScreen(path);
    if (!description.image)
        return std::nullopt;
    auto place = placeOf(description);
    if (output == InfoOutput::JSON)
        return infoJsonLine(path, description, place) + '\n';
    std::ostringstream text;
    writeInfoTable(description, place, columns, text);
    return text.str();
}

// The table as text, a blank line between files, or one JSON line a file.
class TableListing final : public Listing {
public:
    TableListing(InfoOutput output, int columns)
        : output_(output)
        , columns_(columns)
    {
    }
    std::optional<std::string> describe(const std::string& path) const override { return describePath(path, output_, columns_); }
    void write(const std::string& description, std::ostream& out) override
    {
        if (output_ == InfoOutput::Text && !first_)
            out << '\n';
        out << description;
        first_ = false;
    }

private:
    InfoOutput output_;
    int columns_;
    bool first_ = true;
};

} // namespace

Command addInfoCommand(CLI::App& app)
{
    auto arguments = std::make_shared<Arguments>();
    auto* command = app.add_subcommand("info", "Show the photo facts of image files.");
    auto* json = command->add_flag("--json", arguments->json, "One JSON object per file, one per line.");
    command->add_flag("--csv", arguments->csv, "One line per file, one column per row of the table (RFC 4180).")->excludes(json);
    addPathOptions(*command, arguments->files, "Describe");
    return {
        command,
        [arguments](std::ostream& out, std::ostream& err) {
            if (!libraryClass("QXQuorixViewController", err))
                return int { ExitFailure };
            const auto items = arguments->files.walk();
            const int jobs = arguments->files.jobCount();
            if (arguments->csv)
                return describePaths(items, *makeCsvListing(), jobs, out, err);
            TableListing listing(arguments->json ? InfoOutput::JSON : InfoOutput::Text, terminalColumns());
            return describePaths(items, listing, jobs, out, err);
        },
    };
}

} // namespace quorix::cli
