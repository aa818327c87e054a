#include "cli/InfoJson.h"

#include "cli/PlaceOutput.h"

#include <nlohmann/json.hpp>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>

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

} // namespace

// One line of JSON, written directly: the same bytes the JSON library's
// compact output gives for this object, at a fraction of the cost.
std::string infoJsonLine(const std::string& path, const InfoScreenContent& description, const std::optional<places::Place>& place)
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

std::optional<std::string> describeAsJson(const std::string& path)
{
    auto description = readInfoScreen(path);
    if (!description.image)
        return std::nullopt;
    return infoJsonLine(path, description, placeOf(description));
}

} // namespace quorix::cli
