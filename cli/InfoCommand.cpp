#include "InfoCommand.h"

#include "CsvOutput.h"
#include "DescriptionWorkers.h"
#include "InfoScreen.h"
#include "LocalizedText.h"
#include "LibraryHost.h"
#include "PathCheck.h"
#include "foundation/NSBundle.h"
#include "foundation/NSString.h"
#include "PlaceOutput.h"
#include "PathWalk.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorix::cli {

namespace {

// Whether the text is well-formed UTF-8: no stray or overlong bytes, no
// encoded surrogates.
bool isUtf8(std::string_view text)
{
    if (text.size() > INT32_MAX)
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t offset = 0;
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, offset, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

// Every byte as two lower-case hex digits.
std::string hexBytes(std::string_view bytes)
{
    constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0xF];
    }
    return hex;
}

// A JSON value as the JSON library writes it compactly; texts that are
// not UTF-8 get U+FFFD for their bad bytes.
template<class Value>
void appendJson(std::string& out, const Value& value)
{
    out += nlohmann::ordered_json(value).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// Most texts of a table are printable ASCII without quotes or backslashes,
// which JSON takes as they are; the others go through the JSON library.
void appendJsonString(std::string& out, std::string_view text)
{
    bool plain = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f && c != '"' && c != '\\'; });
    if (!plain) {
        appendJson(out, std::string(text));
        return;
    }
    out += '"';
    out += text;
    out += '"';
}

// One line of JSON, written directly: the same bytes the JSON library's
// compact output gives for this object, at a fraction of the cost.
std::string jsonLine(const std::string& path, const InfoScreenContent& description, const std::optional<places::Place>& place)
{
    std::string line;
    line.reserve(2048);
    line += "{\"path\":";
    appendJsonString(line, path);
    // JSON strings hold Unicode text, and "path" shows bytes that are not
    // UTF-8 as U+FFFD. So that such a file can still be found, its path
    // follows exactly, as hex digits.
    if (!isUtf8(path)) {
        line += ",\"path_bytes\":";
        appendJsonString(line, hexBytes(path));
    }
    line += ",\"sections\":[";
    bool firstSection = true;
    for (const auto& section : description.sections) {
        line += firstSection ? "{\"category\":" : ",{\"category\":";
        firstSection = false;
        line += std::to_string(section.category);
        line += ",\"rows\":[";
        bool firstRow = true;
        for (const auto& row : section.rows) {
            line += firstRow ? "{\"label\":" : ",{\"label\":";
            firstRow = false;
            appendJsonString(line, row.label);
            line += ",\"value\":";
            appendJsonString(line, row.detail);
            line += '}';
        }
        line += "]}";
    }
    line += "],\"location\":";
    if (description.location) {
        line += "{\"latitude\":";
        appendJson(line, description.location->latitude);
        line += ",\"longitude\":";
        appendJson(line, description.location->longitude);
        line += '}';
    } else {
        line += "null";
    }
    line += ",\"place\":";
    appendJson(line, places::placeJson(place));
    line += ",\"stamp\":";
    appendJsonString(line, description.stamp);
    line += '}';
    return line;
}

// Text for the terminal. Every string is cut into cells, one code point with
// the combining marks that follow it, each with the number of columns it
// takes, so lines are measured and broken on character boundaries only.
struct Cell {
    std::string bytes;
    int width = 0;
};

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

int columnsOf(UChar32 c)
{
    auto category = static_cast<UCharCategory>(u_charType(c));
    if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || category == U_FORMAT_CHAR)
        return 0;
    auto eastAsian = static_cast<UEastAsianWidth>(u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH));
    return eastAsian == U_EA_WIDE || eastAsian == U_EA_FULLWIDTH ? 2 : 1;
}

bool mayNotReachTerminal(UChar32 c)
{
    auto category = static_cast<UCharCategory>(u_charType(c));
    bool bidiControl = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    return category == U_CONTROL_CHAR || category == U_LINE_SEPARATOR || category == U_PARAGRAPH_SEPARATOR || bidiControl;
}

// A byte that is a printable ASCII character, one column wide.
constexpr bool isPrintableAsciiByte(uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

// Decodes UTF-8 into cells. Bytes that are not UTF-8, control characters and
// the characters that reorder text on a terminal become U+FFFD (white space
// controls a plain space), so no file can steer the terminal it is shown on.
std::vector<Cell> cellsOf(std::string_view text)
{
    std::vector<Cell> cells;
    cells.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
    int32_t offset = 0;
    while (offset < length) {
        // Printable ASCII, most of any table, is one column and needs no
        // look-up of its character's properties.
        if (isPrintableAsciiByte(bytes[offset])) {
            cells.push_back({ std::string(1, static_cast<char>(bytes[offset++])), 1 });
            continue;
        }
        int32_t start = offset;
        UChar32 c = 0;
        U8_NEXT(bytes, offset, length, c);
        std::string piece(text.substr(static_cast<size_t>(start), static_cast<size_t>(offset - start)));
        if (c == '\t' || c == '\n' || c == '\r')
            piece = " ";
        else if (c < 0 || mayNotReachTerminal(c))
            piece = kReplacement;
        int width = c < 0 || piece == kReplacement ? 1 : columnsOf(c);
        if (width == 0 && !cells.empty())
            cells.back().bytes += piece;
        else
            cells.push_back({ std::move(piece), std::max(width, 1) });
    }
    return cells;
}

int widthOf(const std::vector<Cell>& cells)
{
    int width = 0;
    for (const auto& cell : cells)
        width += cell.width;
    return width;
}

// Printable ASCII, most labels and values, is shown as it stands, one column
// a byte, so it is measured and kept whole without being cut into cells.
bool isPrintableAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return isPrintableAsciiByte(static_cast<uint8_t>(c)); });
}

int displayWidth(std::string_view text)
{
    if (isPrintableAscii(text))
        return static_cast<int>(std::min<size_t>(text.size(), INT32_MAX));
    return widthOf(cellsOf(text));
}

struct Line {
    std::string text;
    int width = 0;
};

// Breaks text into lines of at most `width` columns: at spaces where it can,
// inside a word only when the word alone is wider than a line.
std::vector<Line> wrap(std::string_view text, int width)
{
    if (text.size() <= static_cast<size_t>(std::max(width, 0)) && isPrintableAscii(text))
        return { Line { std::string(text), static_cast<int>(text.size()) } };
    auto cells = cellsOf(text);
    if (widthOf(cells) <= width) {
        Line line;
        for (const auto& cell : cells)
            line.text += cell.bytes;
        line.width = widthOf(cells);
        return { line };
    }

    std::vector<Line> lines;
    Line current;
    auto flush = [&] {
        while (!current.text.empty() && current.text.back() == ' ') {
            current.text.pop_back();
            --current.width;
        }
        lines.push_back(std::move(current));
        current = {};
    };
    size_t index = 0;
    while (index < cells.size()) {
        if (cells[index].bytes == " ") {
            ++index;
            continue;
        }
        size_t end = index;
        int wordWidth = 0;
        while (end < cells.size() && cells[end].bytes != " ")
            wordWidth += cells[end++].width;
        if (current.width > 0 && current.width + 1 + wordWidth <= width) {
            current.text += ' ';
            current.width += 1;
        } else if (current.width > 0) {
            flush();
        }
        for (; index < end; ++index) {
            if (current.width > 0 && current.width + cells[index].width > width)
                flush();
            current.text += cells[index].bytes;
            current.width += cells[index].width;
        }
    }
    if (current.width > 0 || lines.empty())
        flush();
    return lines;
}

void writeText(const InfoScreenContent& description, const std::optional<places::Place>& place, int columns, std::ostream& out)
{
    constexpr int kGap = 2;
    constexpr std::string_view kLeadsOn = "\xE2\x80\xBA"; // "›": the row opens the map
    // The stamp, the date the viewer lays across the photo, closes the last
    // group as a row of its own, so a blank line still starts each group of
    // the table and nothing else.
    const std::string stampLabel = localizedText("Stamp");
    // Beside it, the town nearest to where the photo was taken.
    const std::string placeLabel = localizedText("Place");

    int labelWidth = 1;
    if (!description.stamp.empty())
        labelWidth = displayWidth(stampLabel);
    if (place)
        labelWidth = std::max(labelWidth, displayWidth(placeLabel));
    for (const auto& section : description.sections) {
        for (const auto& row : section.rows)
            labelWidth = std::max(labelWidth, displayWidth(row.label));
    }
    labelWidth = std::min(labelWidth, columns * 2 / 5);
    const int valueWidth = std::max(1, columns - labelWidth - kGap);

    auto writeRow = [&](std::string_view label, std::string_view value) {
        auto labelLines = wrap(label, labelWidth);
        auto valueLines = wrap(value, valueWidth);
        size_t count = std::max(labelLines.size(), valueLines.size());
        for (size_t line = 0; line < count; ++line) {
            std::string text;
            int width = 0;
            if (line < labelLines.size()) {
                text = labelLines[line].text;
                width = labelLines[line].width;
            }
            if (line < valueLines.size() && !valueLines[line].text.empty()) {
                text.append(static_cast<size_t>(labelWidth - width + kGap), ' ');
                text += valueLines[line].text;
            }
            out << text << '\n';
        }
    };

    out << description.title << '\n';
    for (const auto& section : description.sections) {
        out << '\n';
        // A row with a disclosure indicator leads to a map, not to a value.
        for (const auto& row : section.rows)
            writeRow(row.label, row.leadsOn ? kLeadsOn : std::string_view(row.detail));
    }
    if (!description.stamp.empty())
        writeRow(stampLabel, description.stamp);
    if (place)
        writeRow(placeLabel, placeText(*place));
}

int terminalColumns()
{
    constexpr int kDefault = 80;
    constexpr int kNarrowest = 40;
    winsize size {};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return std::max<int>(size.ws_col, kNarrowest);
    return kDefault;
}

struct Arguments {
    std::vector<std::string> paths;
    bool json = false;
    bool csv = false;
    bool recursive = false;
    int jobs = 0; // 0: one per core
};

// What one file's description prints: a JSON line, or the table as text;
// nothing for a file that is not an image.
DescriptionWorkers::Description describePath(const std::string& path, InfoOutput output, int columns)
{
    auto description = readInfoScreen(path);
    if (!description.image)
        return std::nullopt;
    auto place = placeOf(description);
    if (output == InfoOutput::JSON)
        return jsonLine(path, description, place) + '\n';
    std::ostringstream text;
    writeText(description, place, columns, text);
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

std::optional<std::string> describeAsJson(const std::string& path)
{
    auto description = readInfoScreen(path);
    if (!description.image)
        return std::nullopt;
    return jsonLine(path, description, placeOf(description));
}

int defaultJobs()
{
    long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    return cores > 0 ? static_cast<int>(std::min<long>(cores, 256)) : 1;
}

int describePaths(const std::vector<WalkItem>& items, Listing& listing, int jobs, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> describable;
    for (const auto& item : items) {
        if (item.error == 0)
            describable.push_back(item.path);
    }
    auto describe = [&listing](const std::string& path) { return listing.describe(path); };
    listing.start(out);
    // What is buffered goes out before the children are made, or each
    // would hold a copy of it.
    out.flush();
    auto workers = DescriptionWorkers::start(describable, jobs, describe);

    int status = ExitSuccess;
    for (const auto& item : items) {
        if (item.error != 0) {
            reportPathError(item.path, item.error, out, err);
            status = ExitFailure;
            continue;
        }
        std::optional<DescriptionWorkers::Description> received;
        if (workers)
            received = workers->next();
        const auto description = received ? std::move(*received) : describe(item.path);
        if (!description) {
            // The command describes photos. A file met in a folder that is
            // none is passed over, as a pipe or a socket there is.
            if (!item.inFolder) {
                reportPathError(item.path, localizedText("not an image"), out, err);
                status = ExitFailure;
            }
            continue;
        }
        listing.write(*description, out);
        // Each file's description goes out whole as soon as it is made.
        out.flush();
        // Output that cannot be written makes describing the rest pointless;
        // the caller reports why.
        if (!out)
            return status;
    }
    listing.finish(out);
    return status;
}

int describePaths(const std::vector<WalkItem>& items, InfoOutput output, int columns, int jobs, std::ostream& out, std::ostream& err)
{
    TableListing listing(output, columns);
    return describePaths(items, listing, jobs, out, err);
}

Command addInfoCommand(CLI::App& app)
{
    auto arguments = std::make_shared<Arguments>();
    auto* command = app.add_subcommand("info", "Show the photo facts of image files.");
    auto* json = command->add_flag("--json", arguments->json, "One JSON object per file, one per line.");
    command->add_flag("--csv", arguments->csv, "One line per file, one column per row of the table (RFC 4180).")->excludes(json);
    command->add_flag("-r,--recursive", arguments->recursive, "Describe the files in folders and their subfolders, in name order.");
    command->add_option("-j,--jobs", arguments->jobs, "Describe files in N processes at once (default: one per core).")
        ->check(CLI::Range(1, 256))
        ->type_name("N");
    command->add_option("paths", arguments->paths, "The files to describe.")->required();
    return {
        command,
        [arguments](std::ostream& out, std::ostream& err) {
            if (!libraryClass("QXQuorixViewController", err))
                return int { ExitFailure };
            auto items = walkPaths(arguments->paths, arguments->recursive ? FolderHandling::Walk : FolderHandling::Refuse);
            const int jobs = arguments->jobs > 0 ? arguments->jobs : defaultJobs();
            if (arguments->csv) {
                auto listing = makeCsvListing();
                return describePaths(items, *listing, jobs, out, err);
            }
            return describePaths(items, arguments->json ? InfoOutput::JSON : InfoOutput::Text, terminalColumns(), jobs, out, err);
        },
    };
}

} // namespace quorix::cli
