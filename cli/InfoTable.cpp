#include "cli/InfoTable.h"

#include "cli/LocalizedText.h"
#include "cli/PlaceOutput.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorix::cli {

namespace {

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

} // namespace

void writeInfoTable(const InfoScreenContent& description, const std::optional<places::Place>& place, int columns, std::ostream& out)
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

} // namespace quorix::cli
