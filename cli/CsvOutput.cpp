#include "cli/CsvOutput.h"

#include "cli/InfoJson.h"
#include "cli/LocalizedText.h"
#include "cli/PlaceOutput.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>
#include <string_view>
#include <vector>

namespace quorix::cli {

namespace {

using json = nlohmann::json;

// A row of the table, told apart from the others by its section, its label
// and, should a label repeat within a section, which time it comes.
struct ColumnKey {
    int category = 0;
    std::string label;
    int repeat = 0;
    bool operator==(const ColumnKey&) const = default;
};

struct Record {
    std::string path;
    std::vector<std::pair<ColumnKey, std::string>> cells;
    std::string stamp;
    std::string place;
};

void writeField(std::string_view field, std::ostream& out)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out << field;
        return;
    }
    out << '"';
    for (char c : field) {
        if (c == '"')
            out << '"';
        out << c;
    }
    out << '"';
}

void writeRecord(const std::vector<std::string>& fields, std::ostream& out)
{
    for (size_t index = 0; index < fields.size(); ++index) {
        if (index > 0)
            out << ',';
        writeField(fields[index], out);
    }
    out << "\r\n";
}

Record recordOf(const std::string& description)
{
    Record record;
    auto object = json::parse(description);
    record.path = object["path"].get<std::string>();
    for (const auto& section : object["sections"]) {
        const int category = section["category"].get<int>();
        std::vector<ColumnKey> seen;
        for (const auto& row : section["rows"]) {
            ColumnKey key { category, row["label"].get<std::string>(), 0 };
            key.repeat = static_cast<int>(std::count(seen.begin(), seen.end(), key));
            seen.push_back(key);
            record.cells.emplace_back(key, row["value"].get<std::string>());
        }
    }
    record.stamp = object["stamp"].get<std::string>();
    if (const auto& place = object["place"]; place.is_object()) {
        record.place = placeText({ place["name"].get<std::string>(), place["country"].get<std::string>(), place["distance_km"].get<double>() });
    }
    return record;
}

class CsvListing final : public Listing {
public:
    std::optional<std::string> describe(const std::string& path) const override { return describeAsJson(path); }

    void write(const std::string& description, std::ostream&) override
    {
        auto record = recordOf(description);
        // Each file's rows keep their order, and a row no earlier file had
        // goes in after the row it follows in this one: the union of the
        // files' rows in the table's order.
        size_t next = 0;
        for (const auto& [key, value] : record.cells) {
            auto known = std::find(columns_.begin(), columns_.end(), key);
            if (known == columns_.end())
                known = columns_.insert(columns_.begin() + static_cast<std::ptrdiff_t>(next), key);
            next = static_cast<size_t>(known - columns_.begin()) + 1;
        }
        anyStamp_ = anyStamp_ || !record.stamp.empty();
        anyPlace_ = anyPlace_ || !record.place.empty();
        records_.push_back(std::move(record));
    }

    void finish(std::ostream& out) override
    {
        std::vector<std::string> fields { localizedText("Path") };
        for (const auto& column : columns_)
            fields.push_back(column.label);
        if (anyStamp_)
            fields.push_back(localizedText("Stamp"));
        if (anyPlace_)
            fields.push_back(localizedText("Place"));
        writeRecord(fields, out);

        for (const auto& record : records_) {
            fields.assign(1, record.path);
            for (const auto& column : columns_) {
                auto cell = std::find_if(record.cells.begin(), record.cells.end(), [&](const auto& entry) { return entry.first == column; });
                fields.push_back(cell == record.cells.end() ? std::string() : cell->second);
            }
            if (anyStamp_)
                fields.push_back(record.stamp);
            if (anyPlace_)
                fields.push_back(record.place);
            writeRecord(fields, out);
        }
    }

private:
    std::vector<ColumnKey> columns_;
    std::vector<Record> records_;
    bool anyStamp_ = false;
    bool anyPlace_ = false;
};

} // namespace

std::unique_ptr<Listing> makeCsvListing() { return std::make_unique<CsvListing>(); }

} // namespace quorix::cli
