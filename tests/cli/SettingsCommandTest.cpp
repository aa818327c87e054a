#include "cli/ChildProcess.h"
#include "cli/ProgramForUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kAllFalse = "quorix_mapview_retrieveaddress false\n"
                              "quorix_mapsapp_querylocation false\n"
                              "quorix_stamp_enabled false\n";

// Every test runs the built command with a configuration folder of its own,
// so each run of `quorix` is a fresh launch of the host application that
// finds exactly the defaults the test left there.
class SettingsCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quorix-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        config_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(config_, ignored);
    }

    testing_support::ChildResult quorix(const std::vector<std::string>& arguments) const
    {
        return testing_support::runProgram(QUORIX_BINARY_DIR "/bin/quorix", arguments, environment());
    }

    std::map<std::string, std::string> environment() const
    {
        return { { "XDG_CONFIG_HOME", config_.string() }, { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" } };
    }

    fs::path defaultsFile() const { return config_ / "quorix" / "defaults.json"; }

    void writeDefaultsFile(const std::string& content) const
    {
        fs::create_directories(defaultsFile().parent_path());
        std::ofstream(defaultsFile(), std::ios::binary) << content;
    }

    // Whether some file in the command's folder still holds exactly `content`.
    bool someFileHolds(const std::string& content) const
    {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(defaultsFile().parent_path(), error)) {
            std::ifstream file(entry.path(), std::ios::binary);
            std::stringstream read;
            read << file.rdbuf();
            if (read.str() == content)
                return true;
        }
        return false;
    }

    fs::path config_;
};

TEST_F(SettingsCommand, ListsEverySettingFalseOnAFirstLaunch)
{
    auto result = quorix({ "settings" });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, kAllFalse);
    EXPECT_EQ(result.err, "");
}

TEST_F(SettingsCommand, KeepsEachSettingAcrossLaunches)
{
    struct Row {
        const char* key;
        const char* listedWhenOn;
    };
    const Row rows[] = {
        { "quorix_mapview_retrieveaddress", "quorix_mapview_retrieveaddress true\n"
                                            "quorix_mapsapp_querylocation false\n"
                                            "quorix_stamp_enabled false\n" },
        { "quorix_mapsapp_querylocation", "quorix_mapview_retrieveaddress false\n"
                                          "quorix_mapsapp_querylocation true\n"
                                          "quorix_stamp_enabled false\n" },
        { "quorix_stamp_enabled", "quorix_mapview_retrieveaddress false\n"
                                  "quorix_mapsapp_querylocation false\n"
                                  "quorix_stamp_enabled true\n" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        auto set = quorix({ "settings", row.key, "true" });
        EXPECT_EQ(set.status, 0);
        EXPECT_EQ(set.out, "");
        EXPECT_EQ(set.err, "");
        EXPECT_TRUE(fs::is_regular_file(defaultsFile()));
        EXPECT_EQ(quorix({ "settings" }).out, row.listedWhenOn);
        EXPECT_EQ(quorix({ "settings" }).out, row.listedWhenOn); // reading changes nothing

        auto unset = quorix({ "settings", row.key, "false" });
        EXPECT_EQ(unset.status, 0);
        EXPECT_EQ(unset.out + unset.err, "");
        EXPECT_EQ(quorix({ "settings" }).out, kAllFalse);
    }
}

TEST_F(SettingsCommand, ReadsAnUnusableDefaultsFileAsFalseAndStillSaves)
{
    struct Row {
        const char* name;
        std::string content;
        bool unreadable; // kept aside rather than overwritten
    };
    const Row rows[] = {
        { "cut short", "{\"quorix_stamp_enabled\": tr", true },
        { "binary garbage", std::string("\x00\xFF\xFE\x01 not json", 14), true },
        { "empty", "", false },
        { "values of other kinds", "{\"quorix_stamp_enabled\": \"yes\", \"quorix_mapsapp_querylocation\": 1}", false },
        { "not an object", "[true, true, true]", false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(config_ / "quorix");
        writeDefaultsFile(row.content);

        auto listed = quorix({ "settings" });
        EXPECT_EQ(listed.status, 0);
        EXPECT_EQ(listed.out, kAllFalse);

        auto set = quorix({ "settings", "quorix_stamp_enabled", "true" });
        EXPECT_EQ(set.status, 0);
        EXPECT_EQ(set.err, "");
        EXPECT_EQ(quorix({ "settings" }).out, "quorix_mapview_retrieveaddress false\n"
                                              "quorix_mapsapp_querylocation false\n"
                                              "quorix_stamp_enabled true\n");
        if (row.unreadable) {
            EXPECT_TRUE(someFileHolds(row.content));
        }
    }
}

TEST_F(SettingsCommand, RejectsBadUsageWithStatusTwoAndChangesNothing)
{
    const std::vector<std::vector<std::string>> rows {
        {},
        { "frobnicate" },
        { "--bogus" },
        { "settings", "--bogus" },
        { "settings", "no_such_key", "true" },
        { "settings", "QUORIX_STAMP_ENABLED", "true" },
        { "settings", "quorix_stamp_enabled" },
        { "settings", "quorix_stamp_enabled", "yes" },
        { "settings", "quorix_stamp_enabled", "TRUE" },
        { "settings", "quorix_stamp_enabled", "" },
        { "settings", "quorix_stamp_enabled", "true", "extra" },
    };
    for (const auto& arguments : rows) {
        std::string line;
        for (const auto& argument : arguments)
            line += "[" + argument + "]";
        SCOPED_TRACE(line);
        auto result = quorix(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with("quorix: ")) << result.err;
        EXPECT_NE(result.err.find("Usage:"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(defaultsFile()));
    EXPECT_EQ(quorix({ "settings" }).out, kAllFalse);
}

TEST_F(SettingsCommand, AnswersHelpAndVersionOnStandardOutput)
{
    auto version = quorix({ "--version" });
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "2.0.1\n");

    auto help = quorix({ "--help" });
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("settings"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");

    auto settingsHelp = quorix({ "settings", "--help" });
    EXPECT_EQ(settingsHelp.status, 0);
    EXPECT_NE(settingsHelp.out.find("quorix_stamp_enabled"), std::string::npos) << settingsHelp.out;
}

TEST_F(SettingsCommand, ReportsASaveThatFailsWithThePathAndStatusOne)
{
    // A plain file where the command's folder belongs: nothing can be saved there.
    std::ofstream(config_ / "quorix") << "in the way";
    auto result = quorix({ "settings", "quorix_stamp_enabled", "true" });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quorix: cannot save settings: " + defaultsFile().string() + ": Not a directory\n");

    auto listed = quorix({ "settings" });
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, kAllFalse);
}

TEST_F(SettingsCommand, SaysASaveWasRefusedPermission)
{
    // A folder the command may enter but not write in.
    fs::permissions(config_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec
            | fs::perms::others_read | fs::perms::others_exec);
    testing_support::ProgramForUser program(QUORIX_BINARY_DIR, "quorix", testing_support::unprivilegedUser());
    if (auto reason = program.whyNot({ config_.string() }); !reason.empty())
        GTEST_SKIP() << reason;
    auto result = program.run({ "settings", "quorix_stamp_enabled", "true" }, environment());
    fs::permissions(config_, fs::perms::owner_all);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "quorix: cannot save settings: " + defaultsFile().string() + ": Permission denied\n");
    EXPECT_FALSE(fs::exists(config_ / "quorix"));
}

} // namespace
