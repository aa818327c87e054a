// Labels are made once per text and shared; a new strings table replaces
// them all, however many the process has asked for.

#include "util/Localization.h"

#include "parser/ParserTestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

constexpr size_t kLabels = 300;

std::vector<std::string> keys()
{
    std::vector<std::string> names;
    for (size_t i = 0; i < kLabels; ++i)
        names.push_back("lbl" + std::to_string(1000 + i));
    return names;
}

// Each key asked for from a buffer of its own, made for the call: the text
// decides, never where it is held.
std::vector<std::string> labels()
{
    std::vector<std::string> texts;
    for (const std::string& key : keys())
        texts.push_back(QXLocalizedString(std::string(key))->str());
    return texts;
}

} // namespace

TEST(LocalizedLabels, ManyKeysKeepTheirOwnTextsAndFollowANewStringsTable)
{
    EXPECT_EQ(labels(), keys());
    EXPECT_EQ(labels(), keys());
    EXPECT_EQ(QXLocalizedString("lbl1007").get(), QXLocalizedString(std::string("lbl1007")).get()) << "made once, shared";
    {
        parser_test::ScopedStringsTable table("de", "\"lbl1007\" = \"Sieben\";\n\"lbl1250\" = \"Zweihundertfünfzig\";\n");
        auto translated = keys();
        translated[7] = "Sieben";
        translated[250] = "Zweihundertfünfzig";
        EXPECT_EQ(labels(), translated);
        EXPECT_EQ(labels(), translated);
        EXPECT_EQ(QXLocalizedString("absent", "Fallback")->str(), "Fallback");
        EXPECT_EQ(QXLocalizedString("absent")->str(), "absent") << "a fallback answers for its own lookup only";
        EXPECT_EQ(QXLocalizedString("absent", "One")->str(), "One");
        EXPECT_EQ(QXLocalizedString("absent", "Two")->str(), "Two") << "fallbacks of one length are told apart";
    }
    EXPECT_EQ(labels(), keys());
}
