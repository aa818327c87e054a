// The strings tables that ship in resources/LANG.lproj, read with the bundle's
// own reader and held against the English table, which lists every key the
// library looks up: each language has exactly those keys, and a translated
// format takes the same arguments as the English one.

#include "foundation/StringsFile.h"
#include "parser/Vocabularies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Table = std::map<std::string, std::string>;

const fs::path kResources = fs::path(QUORIX_SOURCE_DIR) / "resources";
// The languages the More screen credits, English first.
const std::vector<std::string> kLanguages { "en", "zh-Hans", "zh-Hant", "de", "it", "ja", "ko", "tr" };
// The library's table and the host viewer's default one.
const std::vector<std::string> kTables { "Quorix", "Localizable" };

fs::path pathOf(const std::string& language, const std::string& table)
{
    return kResources / (language + ".lproj") / (table + ".strings");
}

std::optional<Table> load(const std::string& language, const std::string& table)
{
    return foundation::loadStringsFile(pathOf(language, table).string());
}

// The conversions of a printf-style format in order, each cut down to what
// decides the argument it takes: position, length and conversion ("1$@",
// "lld", "f"). "%%" reads "%", and a '%' that starts no conversion reads "%?",
// so a lost or stray percent sign shows as a difference too.
std::vector<std::string> conversions(std::string_view text)
{
    auto is = [&](size_t at, const char* set) { return at < text.size() && text[at] && std::strchr(set, text[at]); };
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        size_t j = i + 1;
        std::string position;
        size_t digits = j;
        while (is(digits, "0123456789"))
            ++digits;
        if (digits > j && is(digits, "$")) {
            position = text.substr(j, digits + 1 - j);
            j = digits + 1;
        }
        while (is(j, "-+ #0'"))
            ++j;
        while (is(j, "0123456789.*"))
            ++j;
        size_t length = j;
        while (is(j, "hlqLzjt"))
            ++j;
        if (!is(j, "@diouxXDOUfFeEgGaAcCsSp%")) {
            found.push_back("%?");
            continue;
        }
        found.push_back(position + std::string(text.substr(length, j + 1 - length)));
        i = j;
    }
    return found;
}

// Calls check(language, table name, translation, English) for every language
// but English whose table and the English one both load; loading is a test of its own.
template<class Check>
void forEachTranslation(Check check)
{
    for (const auto& name : kTables) {
        auto english = load("en", name);
        for (const auto& language : kLanguages) {
            auto translation = load(language, name);
            if (language != "en" && english && translation)
                check(language, name, *translation, *english);
        }
    }
}

TEST(StringsTables, ConversionsReadPositionLengthAndKind)
{
    EXPECT_EQ(conversions("%1$@ of %2$lld, %.6f%% %-3d (5%)"),
        (std::vector<std::string> { "1$@", "2$lld", "f", "%", "d", "%?" }));
}

TEST(StringsTables, ShipOneFolderPerCreditedLanguage)
{
    std::set<std::string> folders;
    for (const auto& entry : fs::directory_iterator(kResources)) {
        if (entry.path().extension() == ".lproj")
            folders.insert(entry.path().stem().string());
    }
    EXPECT_EQ(folders, std::set<std::string>(kLanguages.begin(), kLanguages.end()));
}

TEST(StringsTables, AreUtf8AndParseCompletely)
{
    for (const auto& name : kTables) {
        for (const auto& language : kLanguages) {
            SCOPED_TRACE(pathOf(language, name).string());
            std::ifstream file(pathOf(language, name), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            EXPECT_FALSE(bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) << "shipped as UTF-16";
            auto table = foundation::parseStringsFile(bytes);
            ASSERT_TRUE(table) << "does not decode or parse";
            EXPECT_FALSE(table->empty());
        }
    }
}

TEST(StringsTables, EveryLanguageHasEveryEnglishKey)
{
    forEachTranslation([](const std::string& language, const std::string& name, const Table& translation, const Table& english) {
        for (const auto& [key, value] : english)
            EXPECT_TRUE(translation.contains(key)) << language << "/" << name << " lacks \"" << key << "\"";
    });
}

TEST(StringsTables, NoLanguageHasAKeyEnglishLacks)
{
    forEachTranslation([](const std::string& language, const std::string& name, const Table& translation, const Table& english) {
        for (const auto& [key, value] : translation)
            EXPECT_TRUE(english.contains(key)) << language << "/" << name << " has unknown \"" << key << "\"";
    });
}

TEST(StringsTables, TranslationsTakeTheEnglishArguments)
{
    forEachTranslation([](const std::string& language, const std::string& name, const Table& translation, const Table& english) {
        for (const auto& [key, value] : translation) {
            auto original = english.find(key);
            if (original != english.end()) {
                EXPECT_EQ(conversions(value), conversions(original->second))
                    << language << "/" << name << " \"" << key << "\" = \"" << value << "\"";
            }
        }
    });
}

// The English table shows what the library shows without a table: each value
// is its key, or for an upper-case vocabulary key the library's own fallback.
TEST(StringsTables, EnglishRepeatsEachKeyOrTheLibrarysFallback)
{
    auto english = load("en", "Quorix");
    ASSERT_TRUE(english);
    Table expected { { "确定", "OK" } };
    namespace v = quorix::vocabulary;
    for (v::Table vocabulary : { v::orientation, v::sharpness, v::flash, v::whiteBalance, v::contrast, v::exposureMode,
             v::exposureProgram, v::meteringMode, v::saturation, v::colorSpace, v::lightSource, v::sceneCaptureType,
             v::sensingMethod, v::gainControl, v::customRendered, v::subjectDistanceRange }) {
        for (const auto& entry : vocabulary)
            expected[std::string(entry.key)] = entry.fallback.empty() ? entry.key : entry.fallback;
    }
    expected["flash fired"] = "flash fired"; // the text of flash codes outside the table

    for (const auto& [key, text] : expected)
        EXPECT_TRUE(english->contains(key)) << "en lacks vocabulary key \"" << key << "\"";
    for (const auto& [key, value] : *english) {
        auto fallback = expected.find(key);
        EXPECT_EQ(value, fallback != expected.end() ? fallback->second : key) << "en \"" << key << "\"";
    }
}

} // namespace
