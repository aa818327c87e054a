#include "foundation/StringsFile.h"

#include "platform/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

using foundation::loadStringsFile;
using foundation::parseStringsFile;
using Table = foundation::StringsTable;

enum class ByteOrder { Little, Big };

// The bytes of a UTF-16 file with its byte-order mark.
std::string utf16File(std::u16string_view text, ByteOrder order)
{
    std::string bytes = order == ByteOrder::Little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
        char high = static_cast<char>(unit >> 8);
        char low = static_cast<char>(unit & 0xFF);
        bytes += order == ByteOrder::Little ? std::string { low, high } : std::string { high, low };
    }
    return bytes;
}

// Well-formed UTF-8 without surrogates or overlong forms.
bool isWellFormedUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        size_t extra = byte < 0x80 ? 0 : byte >= 0xC2 && byte <= 0xDF ? 1 : byte >= 0xE0 && byte <= 0xEF ? 2 : byte >= 0xF0 && byte <= 0xF4 ? 3 : 9;
        if (extra == 9 || i + extra >= text.size())
            return false;
        char32_t c = extra == 0 ? byte : byte & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = c << 6 | (next & 0x3F);
        }
        if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

TEST(StringsFile, ReadsQuotedPairsAroundEveryKindOfComment)
{
    auto table = parseStringsFile("// a line comment\n"
                                  "/* a block\n   over lines */\n"
                                  "\"Flash\" = \"Blitz\";\n"
                                  "\"White Balance\" /* inside */ = // after the sign\n"
                                  "  \"Wei\xC3\x9F" "abgleich\";\n"
                                  "\"Empty\" = \"\";");
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(*table, (Table { { "Flash", "Blitz" }, { "White Balance", "Wei\xC3\x9F" "abgleich" }, { "Empty", "" } }));
}

TEST(StringsFile, TurnsEachEscapeIntoItsCharacter)
{
    struct Case {
        const char* file;
        const char* value;
    };
    const Case cases[] = {
        { R"("k" = "say \"hi\"";)", "say \"hi\"" },
        { R"("k" = "back\\slash";)", "back\\slash" },
        { R"("k" = "one\ntwo";)", "one\ntwo" },
        { R"("k" = "a\tb\rc";)", "a\tb\rc" },
        { R"("k" = "it\'s";)", "it's" },
        { R"("k" = "caf\U00E9";)", "caf\xC3\xA9" },
        { R"("k" = "caf\u00e9";)", "caf\xC3\xA9" },
        { R"("k" = "\U20AC 5";)", "\xE2\x82\xAC 5" },
        { R"("k" = "\UD83D\UDE00";)", "\xF0\x9F\x98\x80" },
        { R"("k" = "\uD83D\uDE00!";)", "\xF0\x9F\x98\x80!" },
        { "\"k\" = \"two\nlines\";", "two\nlines" },
        { "\"k\" = \"Gr\xC3\xBC\xC3\x9F" "e\";", "Gr\xC3\xBC\xC3\x9F" "e" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto table = parseStringsFile(c.file);
        ASSERT_TRUE(table.has_value());
        EXPECT_EQ(*table, (Table { { "k", c.value } }));
    }
}

TEST(StringsFile, AnyMistakeLosesTheWholeTable)
{
    const char* const broken[] = {
        R"("good" = "yes"; "k" = "v")",
        R"("good" = "yes"; "k" "v";)",
        R"("good" = "yes"; "k" = "v;)",
        R"("good" = "yes"; /* never closed "k" = "v";)",
        R"("k" = ;)",
        R"(= "v";)",
        R"("k" = "v";;)",
        R"("k" = "v" junk;)",
        R"("k" = "v"; /)",
        R"(a b = c d;)",
        R"("k" = "\U12";)",
        R"("k" = "\U12G4";)",
        R"("k" = "\q";)",
        R"("k" = "ends in a backslash\)",
        R"("k" = "\UD83D";)",
        R"("k" = "\UDE00";)",
        R"("k" = "\UD83Dx";)",
        R"("k" = "\UD83D\U0041";)",
        R"("k" = "\UD83D\n";)",
        "\"k\" = \"\xC3\x28\";",
        "\"k\" = \"\xED\xA0\xBD\";", // a surrogate spelled out in UTF-8
    };
    for (std::string_view file : broken) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(parseStringsFile(file).has_value());
    }
    EXPECT_FALSE(parseStringsFile(std::string_view("\"k\"\0= \"v\";", 10)).has_value());
}

TEST(StringsFile, EmptyOrCommentOnlyFilesAreEmptyTables)
{
    for (std::string_view file : { "", "  \n\t\r\n", "/* nothing */", "// nothing", "\xEF\xBB\xBF", "/**/ // x\n /* y */" }) {
        SCOPED_TRACE(file);
        auto table = parseStringsFile(file);
        ASSERT_TRUE(table.has_value());
        EXPECT_TRUE(table->empty());
    }
}

TEST(StringsFile, LastOfDuplicateKeysWins)
{
    auto table = parseStringsFile(R"("k" = "first"; "other" = "x"; "k" = "second";)");
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(*table, (Table { { "k", "second" }, { "other", "x" } }));
}

TEST(StringsFile, AcceptsUnquotedWordsAndAKeyStandingAlone)
{
    auto table = parseStringsFile("greeting = hello_world-1.0;\n\"Version\" = 2.0.1;\n\"alone\";");
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(*table, (Table { { "greeting", "hello_world-1.0" }, { "Version", "2.0.1" }, { "alone", "alone" } }));
}

TEST(StringsFile, SkipsAUtf8ByteOrderMark)
{
    auto table = parseStringsFile("\xEF\xBB\xBF\"k\" = \"v\";");
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(*table, (Table { { "k", "v" } }));
}

TEST(StringsFile, ReadsUtf16InEitherByteOrder)
{
    const std::u16string_view text = u"/* UTF-16 */\n\"Flash\" = \"Blitz\";\n\"Gr\u00FC\u00DFe\" = \"\U0001F600 \\U00E9\";\n";
    for (auto order : { ByteOrder::Little, ByteOrder::Big }) {
        SCOPED_TRACE(order == ByteOrder::Little ? "little-endian" : "big-endian");
        auto table = parseStringsFile(utf16File(text, order));
        ASSERT_TRUE(table.has_value());
        EXPECT_EQ(*table, (Table { { "Flash", "Blitz" }, { "Gr\xC3\xBC\xC3\x9F" "e", "\xF0\x9F\x98\x80 \xC3\xA9" } }));
    }
}

TEST(StringsFile, BrokenUtf16IsAnAbsentTable)
{
    std::string oddLength = utf16File(u"\"k\" = \"v\";", ByteOrder::Little) + "\x20";
    EXPECT_FALSE(parseStringsFile(oddLength).has_value());

    const char16_t loneHigh[] = { u'"', u'k', u'"', u'=', u'"', 0xD83D, u'x', u'"', u';' };
    EXPECT_FALSE(parseStringsFile(utf16File(std::u16string_view(loneHigh, 9), ByteOrder::Big)).has_value());

    const char16_t loneLow[] = { u'"', u'k', u'"', u'=', u'"', 0xDE00, u'"', u';' };
    EXPECT_FALSE(parseStringsFile(utf16File(std::u16string_view(loneLow, 8), ByteOrder::Little)).has_value());
}

TEST(StringsFile, ATruncatedFileParsesOnlyWhenCutBetweenEntries)
{
    const std::string file = "\"a\" = \"1\";\n\"b\" = \"2\";\n";
    const std::set<size_t> wholeEntries = { 0, 10, 11, 21, 22 };
    for (size_t length = 0; length <= file.size(); ++length) {
        SCOPED_TRACE(file.substr(0, length));
        auto table = parseStringsFile(std::string_view(file).substr(0, length));
        EXPECT_EQ(table.has_value(), wholeEntries.count(length) == 1);
    }

    std::string utf16 = utf16File(u"\"a\" = \"1\";", ByteOrder::Little);
    for (size_t length = 3; length < utf16.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(parseStringsFile(std::string_view(utf16).substr(0, length)).has_value());
    }
}

TEST(StringsFile, SurvivesRandomBytesAndOnlyEverYieldsWellFormedText)
{
    // Bytes weighted towards the ones the grammar cares about, so that the
    // parser gets deep into strings, escapes and comments.
    const std::string alphabet = "\"\\\\Uu=;/*\n aZ09DdEe8F\xFF\xFE\xC3\xA9\xED\x80";
    std::mt19937 random(20240229);
    int parsed = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 48, '\0');
        for (char& c : bytes)
            c = round % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        if (round % 7 == 0)
            bytes = "\"k\" = \"" + bytes;
        auto table = parseStringsFile(bytes);
        if (!table)
            continue;
        ++parsed;
        for (const auto& [key, value] : *table) {
            ASSERT_TRUE(isWellFormedUtf8(key)) << "from " << testing::PrintToString(bytes);
            ASSERT_TRUE(isWellFormedUtf8(value)) << "from " << testing::PrintToString(bytes);
        }
    }
    EXPECT_GT(parsed, 0);
}

TEST(StringsFile, LoadsOnlyReadableRegularFiles)
{
    storetest::TemporaryDirectory directory;
    storetest::writeFile(directory / "Good.strings", "\"k\" = \"v\";");
    storetest::writeFile(directory / "Bad.strings", "\"k\" = \"v\"");

    auto good = loadStringsFile(directory / "Good.strings");
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(*good, (Table { { "k", "v" } }));
    EXPECT_FALSE(loadStringsFile(directory / "Bad.strings").has_value());
    EXPECT_FALSE(loadStringsFile(directory / "Missing.strings").has_value());
    EXPECT_FALSE(loadStringsFile(directory.path()).has_value());
}

} // namespace
