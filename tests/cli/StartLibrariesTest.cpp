// A start that writes no date loads neither ICU's formatting half nor the
// date formats library: the platform and the programs do not link them.

#include "cli/ChildProcess.h"
#include "cli/LoaderLog.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

TEST(ProgramStart, LoadsNoDateFormatterForAnAnswerWithoutDates)
{
    auto run = testing_support::runProgram(std::string(QUORIX_BINARY_DIR) + "/bin/quorix", { "--version" }, { { "LD_DEBUG", "files" } });
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(testing_support::loaded(run, "libquorix_platform.so")) << "no loader log: " << run.err;
    EXPECT_TRUE(testing_support::loaded(run, "libicuuc.so"));
    EXPECT_FALSE(testing_support::loaded(run, "libicui18n.so"));
    EXPECT_FALSE(testing_support::loaded(run, "libquorix_date_formats.so"));
}

// A photo's table writes its Modified date and reads its EXIF dates from the
// locale's own data in the common locales, opening neither; a locale of
// another calendar opens the date formats library for them.
TEST(ProgramStart, WritesAPhotosDatesWithoutTheDateFormatterUnlessTheLocaleNeedsIt)
{
    const std::string quorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";
    const std::string photo = std::string(QUORIX_SOURCE_DIR) + "/samples/no-position.jpg";
    struct Case {
        const char* locale;
        const char* modified;
        bool needsFormatter;
    };
    for (const Case& c : { Case { "C.UTF-8", "Modified", false }, Case { "de_DE.UTF-8", "Geändert", false }, Case { "th_TH.UTF-8", "Modified", true } }) {
        SCOPED_TRACE(c.locale);
        auto run = testing_support::runProgram(quorix, { "info", photo }, { { "LD_DEBUG", "files" }, { "LC_ALL", c.locale }, { "LANGUAGE", "" } });
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_TRUE(testing_support::loaded(run, "libquorix_platform.so")) << "no loader log: " << run.err;
        const auto row = run.out.find(c.modified);
        ASSERT_NE(row, std::string::npos) << run.out;
        EXPECT_GT(run.out.find('\n', row) - row, std::string(c.modified).size() + 8) << "the row has no date: " << run.out;
        EXPECT_EQ(testing_support::loaded(run, "libquorix_date_formats.so"), c.needsFormatter);
        EXPECT_EQ(testing_support::loaded(run, "libicui18n.so"), c.needsFormatter);
    }
}

// An empty locale variable counts as unset, for the dates as for the labels:
// `LC_ALL= LANG=de_DE.UTF-8` is German throughout, and an empty LC_ALL over
// a C locale is the plain English form, not ICU's root one ("2026 M12 8").
TEST(ProgramStart, PassesOverEmptyLocaleVariablesForItsDates)
{
    const std::string quorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";
    const std::string photo = std::string(QUORIX_SOURCE_DIR) + "/samples/no-position.jpg";
    auto row = [&](const std::map<std::string, std::string>& environment, const std::string& label) {
        auto run = testing_support::runProgram(quorix, { "info", photo }, environment);
        EXPECT_EQ(run.status, 0) << run.err;
        const auto at = run.out.find(label);
        return at == std::string::npos ? std::string("(no row)") : run.out.substr(at, run.out.find('\n', at) - at);
    };
    const std::string german = row({ { "LC_ALL", "de_DE.UTF-8" }, { "LANGUAGE", "" } }, "Geändert");
    EXPECT_NE(german.find("Dezember"), std::string::npos) << german;
    EXPECT_EQ(row({ { "LC_ALL", "" }, { "LC_MESSAGES", "" }, { "LANG", "de_DE.UTF-8" }, { "LANGUAGE", "" } }, "Geändert"), german);
    const std::string plain = row({ { "LC_ALL", "C.UTF-8" }, { "LANGUAGE", "" } }, "Modified");
    EXPECT_NE(plain.find(" at "), std::string::npos) << plain;
    EXPECT_EQ(row({ { "LC_ALL", "" }, { "LC_MESSAGES", "C.UTF-8" }, { "LANGUAGE", "" } }, "Modified"), plain);
}
