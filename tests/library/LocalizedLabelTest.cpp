// Labels are remembered by the address of their literal, in a table that
// grows with the labels the process asks for.

#include "util/Localization.h"

#include "../parser/ParserTestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace {

// A literal of its own for each index, "lbl0000" to "lbl9999".
struct LabelName {
    char text[8];
};

constexpr LabelName labelName(size_t index)
{
    LabelName name { { 'l', 'b', 'l', '0', '0', '0', '0', '\0' } };
    for (size_t at = 6; index; --at, index /= 10)
        name.text[at] = static_cast<char>('0' + index % 10);
    return name;
}

template<size_t Index>
constexpr LabelName kLabelName = labelName(Index);

template<size_t... Index>
std::vector<std::string> labels(std::index_sequence<Index...>)
{
    return { QXLocalizedLabel(kLabelName<Index>.text)->str()... };
}

constexpr size_t kLabels = 300;

std::vector<std::string> keys()
{
    std::vector<std::string> names;
    for (size_t i = 0; i < kLabels; ++i)
        names.emplace_back(labelName(i).text);
    return names;
}

} // namespace

TEST(LocalizedLabels, ManyLiteralsKeepTheirOwnTextsAndFollowANewStringsTable)
{
    const auto all = std::make_index_sequence<kLabels>();
    // The first round fills the table past its first size; the second finds
    // every label where the table put it after growing.
    EXPECT_EQ(labels(all), keys());
    EXPECT_EQ(labels(all), keys());
    {
        parser_test::ScopedStringsTable table("de", "\"lbl0007\" = \"Sieben\";\n\"lbl0250\" = \"Zweihundertfünfzig\";\n");
        auto translated = keys();
        translated[7] = "Sieben";
        translated[250] = "Zweihundertfünfzig";
        EXPECT_EQ(labels(all), translated);
        EXPECT_EQ(labels(all), translated);
    }
    EXPECT_EQ(labels(all), keys());
}
