// The strings tables that ship in resources/LANG.lproj, read with the bundle's
// own reader and held against the English table, which lists every key the
// library looks up: each language has exactly those keys, and a translated
// format takes the same arguments as the English one.

#include "foundation/StringsFile.h"
#include "parser/Vocabularies.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Table = foundation::StringsTable;

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

// Terminology. A photographer reads the table as one vocabulary: the word for
// "tungsten" in the light-source row is the word inside "ISO studio tungsten",
// and one English text has one translation. The checks below find where a
// translation breaks that; each known, deliberate break is listed with its reason.

// Lower-cased by the rules of the table's language (Turkish "I" is "ı").
icu::UnicodeString folded(const std::string& text, const std::string& language)
{
    return icu::UnicodeString::fromUTF8(text).toLower(icu::Locale(language.c_str()));
}

std::string utf8(const icu::UnicodeString& text)
{
    std::string bytes;
    return text.toUTF8String(bytes);
}

// The vocabulary's upper-case keys ("NORMAL_SHARPNESS"); "OK" is an English text.
bool isUpperCaseKey(const std::string& key)
{
    return key.find('_') != std::string::npos && key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == std::string::npos;
}

// Whether `term` is in `text` as whole words (no letter on either side).
bool containsWords(std::string_view text, std::string_view term)
{
    auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
    for (size_t at = text.find(term); at != std::string_view::npos; at = text.find(term, at + 1)) {
        size_t end = at + term.size();
        if ((at == 0 || !letter(text[at - 1])) && (end == text.size() || !letter(text[end])))
            return true;
    }
    return false;
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Where an English text holds another key's text but the translation rightly
// says it otherwise. An empty language stands for every one.
struct TermException {
    const char* language;
    const char* term;
    const char* text;
};
const std::string kFooter = "Search location when launching Maps app. Pin will be dropped automatically if search "
                            "returns results for the location. Or you can manually drop pin there.";
const std::vector<TermException> kTermExceptions {
    // The capture and digitizing times are terms of their own, not kinds of the "Date Time" row.
    { "", "Date Time", "Date Time Original" },
    { "", "Date Time", "Date Time Digitized" },
    // The widest aperture is a term of its own; the original size is the image size shortened.
    { "", "Aperture Value", "Max Aperture Value" },
    { "", "Image Size", "Original Image Size" },
    // Lamp colours are names: "day white" and "cool white" are not kinds of "white".
    { "", "white fluorescent", "day white fluorescent" },
    { "", "white fluorescent", "cool white fluorescent" },
    // Sentences and verb phrases reorder and inflect their words.
    { "", "Show Location", "Show Location in Maps app" },
    { "", "Maps App", "Show Location in Maps app" },
    { "", "Maps App", kFooter.c_str() },
    { "", "Search Location", kFooter.c_str() },
    { "", "Location", "Search Location" },
    { "", "Location", kFooter.c_str() },
    // German names the CIE illuminants "Normlicht", not "Standard".
    { "de", "standard", "standard light A" },
    { "de", "standard", "standard light B" },
    { "de", "standard", "standard light C" },
    // Japanese EXIF wording: "タングステン(白熱灯)" and "ISOスタジオタングステン".
    { "ja", "tungsten", "ISO studio tungsten" },
    // Korean lamp colour: a daylight fluorescent lamp is "주광색", daylight itself "일광".
    { "ko", "daylight", "daylight fluorescent" },
};

bool isTermException(const std::string& language, const std::string& term, const std::string& text)
{
    for (const auto& exception : kTermExceptions) {
        if ((!*exception.language || language == exception.language) && term == exception.term && text == exception.text)
            return true;
    }
    return false;
}

// The English table maps "确定" to "OK" like the key "OK": two alerts, one
// button. Only the upper-case keys exist to give one English word several
// forms ("normal" sharpness and contrast), so they are left out.
TEST(StringsTables, OneEnglishTextHasOneTranslation)
{
    auto english = load("en", "Quorix");
    ASSERT_TRUE(english);
    std::map<std::string, std::vector<std::string>> keysOfText;
    for (const auto& [key, text] : *english) {
        if (!isUpperCaseKey(key))
            keysOfText[text].push_back(key);
    }
    for (const auto& language : kLanguages) {
        auto translation = load(language, "Quorix");
        ASSERT_TRUE(translation) << language;
        for (const auto& [text, keys] : keysOfText) {
            for (const auto& key : keys) {
                EXPECT_EQ(translation->at(key), translation->at(keys.front()))
                    << language << ": \"" << text << "\" is translated two ways, under \"" << keys.front()
                    << "\" and \"" << key << "\"";
            }
        }
    }
}

// A key whose English is inside another key's English keeps its translation
// there: "tungsten" and "ISO studio tungsten", "other" and "other light source".
TEST(StringsTables, AKeysTranslationRecursInTheTextsThatHoldIt)
{
    auto english = load("en", "Quorix");
    ASSERT_TRUE(english);
    Table lowerEnglish;
    for (const auto& [key, text] : *english)
        lowerEnglish[key] = lowerAscii(text);
    for (const auto& language : kLanguages) {
        auto translation = load(language, "Quorix");
        ASSERT_TRUE(translation) << language;
        std::map<std::string, icu::UnicodeString> foldedTranslation;
        for (const auto& [key, value] : *translation)
            foldedTranslation[key] = folded(value, language);
        for (const auto& [term, termText] : lowerEnglish) {
            if (isUpperCaseKey(term) || term.size() < 2)
                continue;
            const auto& word = foldedTranslation[term];
            for (const auto& [key, text] : lowerEnglish) {
                if (key == term || isUpperCaseKey(key) || !containsWords(text, termText)
                    || isTermException(language, term, key))
                    continue;
                EXPECT_GE(foldedTranslation[key].indexOf(word), 0)
                    << language << ": \"" << term << "\" reads \"" << utf8(word) << "\" but \"" << key
                    << "\" reads \"" << translation->at(key) << "\"";
            }
        }
    }
}

// Where a label's translation opens another label's, a reader takes the second
// row for a kind of the first: Italian "Gamma di distanza..." under "Gamma".
// Languages written without spaces have no word end to test and pass.
TEST(StringsTables, NoLabelReadsAsAKindOfAnUnrelatedLabel)
{
    // Turkish calls the f-number "Diyafram"; the APEX aperture value is its value.
    const std::set<std::tuple<std::string, std::string, std::string>> allowed {
        { "tr", "F Number", "Aperture Value" },
    };
    auto english = load("en", "Quorix");
    ASSERT_TRUE(english);
    auto isLabel = [](const std::string& key, const std::string& text) {
        return !isUpperCaseKey(key) && std::isupper(static_cast<unsigned char>(text[0])) && text.find('.') == std::string::npos;
    };
    for (const auto& language : kLanguages) {
        auto translation = load(language, "Quorix");
        ASSERT_TRUE(translation) << language;
        for (const auto& [first, firstText] : *english) {
            if (!isLabel(first, firstText))
                continue;
            auto opening = folded(translation->at(first), language);
            for (const auto& [second, secondText] : *english) {
                if (second == first || !isLabel(second, secondText) || containsWords(secondText, firstText)
                    || allowed.contains({ language, first, second }))
                    continue;
                auto label = folded(translation->at(second), language);
                bool opens = label.startsWith(opening) && label.length() > opening.length()
                    && !u_isalpha(label.char32At(opening.length()));
                EXPECT_FALSE(opens) << language << ": \"" << second << "\" reads \"" << translation->at(second)
                                    << "\", which opens with the \"" << first << "\" label";
            }
        }
    }
}

} // namespace
