#include "foundation/NSBundle.h"
#include "foundation/NSString.h"
#include "foundation/NSUserDefaults.h"
#include "runtime/AutoreleasePool.h"

#include "platform/StoreTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// Defaults under a scratch configuration folder, for an application named
// "quorix-test".
class UserDefaultsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(config_.path().empty());
        environment_.set("XDG_CONFIG_HOME", config_.path());
        NSBundle::setMainBundleIdentifier("quorix-test");
        NSUserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override
    {
        NSUserDefaults::resetStandardUserDefaults();
        NSBundle::setMainBundleIdentifier("");
    }

    static NSUserDefaults* defaults() { return NSUserDefaults::standardUserDefaults(); }
    // A fresh instance that reads the file again, as a restarted application does.
    static NSUserDefaults* reopened()
    {
        NSUserDefaults::resetStandardUserDefaults();
        return NSUserDefaults::standardUserDefaults();
    }
    std::string directory() const { return config_ / "quorix-test"; }
    std::string file() const { return directory() + "/defaults.json"; }

    // Files beside the defaults file whose names start with `prefix`.
    std::vector<std::string> siblings(const std::string& prefix) const
    {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(directory(), error)) {
            if (entry.path().filename().string().starts_with(prefix))
                found.push_back(entry.path().string());
        }
        return found;
    }

    Json fileContent() const { return Json::parse(storetest::readFile(file()), nullptr, false); }

    storetest::TemporaryDirectory config_;
    storetest::EnvironmentGuard environment_;
};

// Runs `body` in a child process, which exits with 0 when it returns true.
template<class F>
pid_t startChild(F body)
{
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(body() ? 0 : 1);
    return child;
}

// Waits for the child to end: its exit status, or -1 when a signal ended it.
int exitStatus(pid_t child)
{
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(UserDefaultsTest, LivesInTheConfigurationFolderNamedAfterTheApplication)
{
    EXPECT_EQ(defaults()->filePath(), config_.path() + "/quorix-test/defaults.json");

    environment_.set("HOME", "/home/someone");
    for (const char* unusable : { "", "relative/config" }) {
        SCOPED_TRACE(unusable);
        environment_.set("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(reopened()->filePath(), "/home/someone/.config/quorix-test/defaults.json");
    }
    environment_.unset("XDG_CONFIG_HOME");
    EXPECT_EQ(reopened()->filePath(), "/home/someone/.config/quorix-test/defaults.json");

    NSBundle::setMainBundleIdentifier("../escape/attempt");
    EXPECT_EQ(reopened()->filePath(), "/home/someone/.config/.._escape_attempt/defaults.json");
}

TEST_F(UserDefaultsTest, AbsentKeysReadFalse)
{
    EXPECT_FALSE(defaults()->boolForKey("quorix_stamp_enabled"));
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_TRUE(defaults()->synchronize()) << "nothing to write is not a failure";
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(UserDefaultsTest, ValuesSurviveARestart)
{
    defaults()->setBoolForKey(true, "quorix_stamp_enabled");
    defaults()->setBoolForKey(true, "quorix_mapsapp_querylocation");
    defaults()->setBoolForKey(false, "quorix_mapsapp_querylocation");
    EXPECT_TRUE(defaults()->boolForKey("quorix_stamp_enabled"));
    ASSERT_TRUE(defaults()->synchronize());

    auto* again = reopened();
    EXPECT_TRUE(again->boolForKey("quorix_stamp_enabled"));
    EXPECT_FALSE(again->boolForKey("quorix_mapsapp_querylocation"));
    EXPECT_EQ(fileContent(), Json::parse(R"({"quorix_stamp_enabled": true, "quorix_mapsapp_querylocation": false})"));
    EXPECT_EQ(fs::status(directory()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(UserDefaultsTest, UnsavedValuesAreLostOnRestart)
{
    defaults()->setBoolForKey(true, "quorix_stamp_enabled");
    EXPECT_FALSE(reopened()->boolForKey("quorix_stamp_enabled"));
}

TEST_F(UserDefaultsTest, SavesMadeByAnotherProcessAreSeenAndKept)
{
    defaults()->setBoolForKey(true, "parent_key");
    pid_t child = startChild([] {
        reopened()->setBoolForKey(true, "child_key");
        return defaults()->synchronize();
    });
    ASSERT_EQ(exitStatus(child), 0);

    EXPECT_FALSE(defaults()->boolForKey("child_key")) << "loaded once, before the child saved";
    ASSERT_TRUE(defaults()->synchronize());
    EXPECT_TRUE(defaults()->boolForKey("child_key")) << "a save merges what is on disk";
    EXPECT_TRUE(defaults()->boolForKey("parent_key"));
    EXPECT_EQ(fileContent(), Json::parse(R"({"child_key": true, "parent_key": true})"));
    EXPECT_TRUE(reopened()->boolForKey("child_key"));
}

TEST_F(UserDefaultsTest, ProcessesSavingAtOnceLoseNoKey)
{
    constexpr int writers = 3;
    constexpr int keysEach = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        children.push_back(startChild([w] {
            auto* mine = reopened();
            bool ok = true;
            for (int k = 0; k < keysEach; ++k) {
                mine->setBoolForKey(true, "writer" + std::to_string(w) + "_key" + std::to_string(k));
                ok = mine->synchronize() && ok;
            }
            return ok;
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(exitStatus(child), 0);
    auto content = fileContent();
    ASSERT_TRUE(content.is_object());
    EXPECT_EQ(content.size(), static_cast<size_t>(writers * keysEach));
    auto* again = reopened();
    EXPECT_TRUE(again->boolForKey("writer0_key0"));
    EXPECT_TRUE(again->boolForKey("writer2_key24"));
}

TEST_F(UserDefaultsTest, AnUnreadableFileReadsFalseAndIsSetAsideByTheFirstSave)
{
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        { "cut short", R"({"quorix_stamp_enabled": tr)" },
        { "garbage", std::string("\x00\xFF\x13garbage\xC3", 11) },
        { "an array", R"([true, {"quorix_stamp_enabled": true}])" },
        { "a string", R"("true")" },
        { "empty", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(directory());
        storetest::writeFile(file(), c.bytes);

        auto* broken = reopened();
        EXPECT_FALSE(broken->boolForKey("quorix_stamp_enabled"));
        EXPECT_TRUE(siblings("defaults.json.unreadable-").empty()) << "reading alone moves nothing";

        broken->setBoolForKey(true, "quorix_mapsapp_querylocation");
        ASSERT_TRUE(broken->synchronize());
        auto setAside = siblings("defaults.json.unreadable-");
        ASSERT_EQ(setAside.size(), 1u);
        EXPECT_EQ(storetest::readFile(setAside[0]), c.bytes);
        EXPECT_EQ(fileContent(), Json::parse(R"({"quorix_mapsapp_querylocation": true})"));
        EXPECT_TRUE(reopened()->boolForKey("quorix_mapsapp_querylocation"));
    }
}

TEST_F(UserDefaultsTest, ASetAsideFileIsNeverOverwritten)
{
    storetest::writeFile(file(), "first broken file");
    reopened()->setBoolForKey(true, "a");
    ASSERT_TRUE(defaults()->synchronize());
    storetest::writeFile(file(), "second broken file");
    reopened()->setBoolForKey(true, "b");
    ASSERT_TRUE(defaults()->synchronize());

    std::set<std::string> contents;
    for (const auto& path : siblings("defaults.json.unreadable-"))
        contents.insert(storetest::readFile(path));
    EXPECT_EQ(contents, (std::set<std::string> { "first broken file", "second broken file" }));
}

TEST_F(UserDefaultsTest, EntriesThatAreNotBooleansReadFalseAndAreKept)
{
    storetest::writeFile(file(), R"({"text": "true", "number": 1, "flag": true, "nested": {"x": true}})");
    auto* loaded = reopened();
    EXPECT_FALSE(loaded->boolForKey("text"));
    EXPECT_FALSE(loaded->boolForKey("number"));
    EXPECT_FALSE(loaded->boolForKey("nested"));
    EXPECT_TRUE(loaded->boolForKey("flag"));

    loaded->setBoolForKey(false, "flag");
    ASSERT_TRUE(loaded->synchronize());
    EXPECT_EQ(fileContent(), Json::parse(R"({"text": "true", "number": 1, "flag": false, "nested": {"x": true}})"));
    EXPECT_TRUE(siblings("defaults.json.unreadable-").empty());
}

TEST_F(UserDefaultsTest, AKilledWriterNeverLeavesATornFile)
{
    defaults()->setBoolForKey(true, "seed");
    ASSERT_TRUE(defaults()->synchronize());
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        pid_t child = startChild([] {
            auto* writer = reopened();
            for (int i = 0;; ++i) {
                writer->setBoolForKey(i % 2 == 0, "toggle");
                writer->setBoolForKey(true, "key" + std::to_string(i % 50));
                writer->synchronize();
            }
            return false;
        });
        ::usleep(static_cast<useconds_t>(1000 + 700 * round));
        ::kill(child, SIGKILL);
        ASSERT_EQ(exitStatus(child), -1) << "ended by the signal";

        Json content = fileContent();
        ASSERT_TRUE(content.is_object()) << storetest::readFile(file());
        for (const auto& [key, value] : content.items())
            EXPECT_TRUE(value.is_boolean()) << key;
        EXPECT_TRUE(content.value("seed", false));
        EXPECT_TRUE(siblings("defaults.json.unreadable-").empty());
    }
    // The next save clears temporary files that killed writers left behind.
    defaults()->setBoolForKey(true, "after");
    ASSERT_TRUE(defaults()->synchronize());
    EXPECT_TRUE(siblings("defaults.json.tmp-").empty());
    EXPECT_TRUE(reopened()->boolForKey("after"));
}

TEST_F(UserDefaultsTest, AFailedSaveReportsFalseAndKeepsTheValueInMemory)
{
    // A regular file where the configuration folder should be: no directory
    // can be made below it, whoever runs the test.
    storetest::writeFile(config_ / "not-a-folder", "x");
    environment_.set("XDG_CONFIG_HOME", config_ / "not-a-folder");
    auto* blocked = reopened();
    blocked->setBoolForKey(true, "quorix_stamp_enabled");
    EXPECT_FALSE(blocked->synchronize());
    EXPECT_EQ(blocked->lastSaveError(), ENOTDIR);
    EXPECT_TRUE(blocked->boolForKey("quorix_stamp_enabled"));

    // A folder where the file should be is left alone.
    environment_.set("XDG_CONFIG_HOME", config_.path());
    fs::create_directories(file());
    auto* shadowed = reopened();
    shadowed->setBoolForKey(true, "quorix_stamp_enabled");
    EXPECT_FALSE(shadowed->synchronize());
    EXPECT_EQ(shadowed->lastSaveError(), EISDIR);
    EXPECT_TRUE(fs::is_directory(file()));
    EXPECT_TRUE(siblings("defaults.json.unreadable-").empty());

    // A save that succeeds clears the reason.
    fs::remove(file());
    EXPECT_TRUE(shadowed->synchronize());
    EXPECT_EQ(shadowed->lastSaveError(), 0);
}

TEST_F(UserDefaultsTest, AReadOnlyFolderMakesTheSaveFail)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    fs::create_directories(directory());
    fs::permissions(directory(), fs::perms::owner_read | fs::perms::owner_exec);
    defaults()->setBoolForKey(true, "quorix_stamp_enabled");
    EXPECT_FALSE(defaults()->synchronize());
    EXPECT_EQ(defaults()->lastSaveError(), EACCES);
    fs::permissions(directory(), fs::perms::owner_all);
}

TEST_F(UserDefaultsTest, AnswersTheDefaultsMessagesThroughTheRuntime)
{
    AutoreleasePool pool;
    objc::send(defaults(), "setBool:forKey:", true, "quorix_stamp_enabled"_ns);
    EXPECT_TRUE(objc::send<bool>(defaults(), "boolForKey:", "quorix_stamp_enabled"_ns));
    EXPECT_FALSE(objc::send<bool>(defaults(), "boolForKey:", static_cast<id>(nullptr)));
    EXPECT_TRUE(objc::send<bool>(defaults(), "synchronize"));
    EXPECT_TRUE(reopened()->boolForKey("quorix_stamp_enabled"));
}

TEST_F(UserDefaultsTest, TheSharedInstanceIsOneUntilReset)
{
    auto* first = defaults();
    EXPECT_EQ(defaults(), first);
    first->setBoolForKey(true, "kept");
    ASSERT_TRUE(first->synchronize());
    auto* second = reopened();
    EXPECT_TRUE(second->boolForKey("kept"));
    EXPECT_TRUE(first->boolForKey("kept")) << "an instance from before the reset stays usable";
}

} // namespace
