#pragma once

#include "foundation/NSArray.h"
#include "foundation/NSBundle.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSNumber.h"
#include "parser/QXParser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <unistd.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parser_test {

inline Ref<NSNumber> num(double value) { return NSNumber::numberWithDouble(value); }
inline Ref<NSNumber> integer(long long value) { return NSNumber::numberWithLongLong(value); }

using Entries = std::initializer_list<std::pair<const char*, Ref<NSObject>>>;

inline Ref<NSDictionary> dict(Entries entries)
{
    auto result = NSMutableDictionary::dictionary();
    for (const auto& [key, value] : entries)
        result->setObjectForKey(value, key);
    return result;
}

// An image-properties dictionary holding one sub-dictionary.
inline Ref<NSDictionary> properties(const char* subKey, Entries entries)
{
    return dict({ { subKey, dict(entries) } });
}

struct RowText {
    std::string label;
    std::string value;
    friend bool operator==(const RowText&, const RowText&) = default;
    friend std::ostream& operator<<(std::ostream& out, const RowText& row) { return out << '{' << row.label << " | " << row.value << '}'; }
};

// The rows of a list as plain text; an absent list reads as no rows.
inline std::vector<RowText> rowsOf(const NSArray* rows)
{
    std::vector<RowText> result;
    if (!rows)
        return result;
    for (const auto& object : *rows) {
        const auto* row = objc_cast<QXRow>(object.get());
        EXPECT_NE(row, nullptr) << "a list entry that is not a QXRow";
        if (row)
            result.push_back({ row->label() ? row->label()->str() : "(nil)", row->value() ? row->value()->str() : "(nil)" });
    }
    return result;
}

// The value of the one row with this label, if there is exactly one.
inline std::optional<std::string> valueOf(const NSArray* rows, const std::string& label)
{
    std::optional<std::string> found;
    for (const auto& row : rowsOf(rows)) {
        if (row.label == label) {
            if (found)
                return std::nullopt;
            found = row.value;
        }
    }
    return found;
}

inline std::string textOf(const NSObject* object) { return object ? object->descriptionText() : "(nil)"; }

// A parser of its own for each test: the shared one would carry state
// between tests.
inline Ref<QXParser> newParser() { return make_object<QXParser>(); }

// Points the main bundle at a temporary folder whose `LANG.lproj/Quorix.strings`
// holds the given text and selects that language; restores both on exit.
class ScopedStringsTable {
public:
    ScopedStringsTable(const std::string& language, const std::string& strings)
    {
        folder_ = std::filesystem::temp_directory_path() / ("quorix-parser-strings-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(folder_ / (language + ".lproj"));
        std::ofstream(folder_ / (language + ".lproj") / "Quorix.strings") << strings;
        for (const char* name : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" }) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        ::setenv("LANGUAGE", language.c_str(), 1);
        NSBundle::setMainBundleResourcePath(folder_.string());
    }
    ~ScopedStringsTable()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        NSBundle::setMainBundleResourcePath("");
        NSBundle::mainBundle()->flushLocalizationCache();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScopedStringsTable(const ScopedStringsTable&) = delete;
    ScopedStringsTable& operator=(const ScopedStringsTable&) = delete;

private:
    static int& counter()
    {
        static int value = 0;
        return value;
    }

    std::filesystem::path folder_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace parser_test
