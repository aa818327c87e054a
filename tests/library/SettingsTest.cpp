#include "foundation/NSNotificationCenter.h"
#include "foundation/NSString.h"
#include "foundation/NSUserDefaults.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/ClassDefinition.h"
#include "settings/Quorix.h"
#include "util/NSObject+ZELExtension.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// The store is made once per process and can never be made again, so this
// environment prepares its one creation: the defaults live in a fresh folder,
// seeded as an earlier launch would have left them, and the store is created
// from them before any test runs. What it read is kept for the test below.
struct LoadedSettings {
    bool mapViewRetrieveAddress = false;
    bool mapsAppQueryLocation = true;
    bool stamp = false;
};
LoadedSettings g_loaded;

class SettingsStoreEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        setenv("XDG_CONFIG_HOME", directory_.c_str(), 1);
        NSUserDefaults::resetStandardUserDefaults();

        AutoreleasePool pool;
        auto* defaults = NSUserDefaults::standardUserDefaults();
        defaults->setBoolForKey(true, kQuorixMapViewRetrieveAddressKey);
        defaults->setBoolForKey(false, kQuorixMapsAppQueryLocationKey);
        defaults->setBoolForKey(true, kQuorixStampEnabledKey);
        ASSERT_TRUE(defaults->synchronize());
        NSUserDefaults::resetStandardUserDefaults(); // the store reads the file, not this instance's memory

        auto* store = Quorix::sharedQuorix();
        g_loaded = { store->mapViewRetrieveAddressEnabled(), store->mapsAppQueryLocationEnabled(), store->stampEnabled() };
    }

    void TearDown() override
    {
        NSUserDefaults::resetStandardUserDefaults();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

private:
    std::string directory_;
};

[[maybe_unused]] auto* const g_environment = ::testing::AddGlobalTestEnvironment(new SettingsStoreEnvironment);

// What the saved defaults hold for the key, read from the file afresh.
bool savedValue(std::string_view key)
{
    NSUserDefaults::resetStandardUserDefaults();
    return NSUserDefaults::standardUserDefaults()->boolForKey(key);
}

struct StampPost {
    std::string name;
    bool hadObject = true;
    bool stampEnabledSeen = false;
};

class STStampObserver : public NSObject {
    QX_OBJECT(STStampObserver, NSObject)
public:
    static Ref<STStampObserver> create() { return make_object<STStampObserver>(); }

    void settingsChanged(NSNotification* notification)
    {
        posts.push_back({ notification->name()->str(), notification->object() != nullptr, Quorix::sharedQuorix()->stampEnabled() });
    }

    std::vector<StampPost> posts;

protected:
    STStampObserver() = default;
};

// Registers an observer of the stamp notification for one test, and takes it
// away again however the test ends.
class ObservedStampNotification {
public:
    ObservedStampNotification()
        : observer_(STStampObserver::create())
    {
        NSNotificationCenter::defaultCenter()->addObserver(observer_, "settingsChanged:", kStampSettingsChangedNotification, nullptr);
    }
    ~ObservedStampNotification() { NSNotificationCenter::defaultCenter()->removeObserver(observer_); }
    ObservedStampNotification(const ObservedStampNotification&) = delete;
    ObservedStampNotification& operator=(const ObservedStampNotification&) = delete;

    const std::vector<StampPost>& posts() const { return observer_->posts; }

private:
    Ref<STStampObserver> observer_;
};

} // namespace

QX_DEFINE_CLASS(STStampObserver)
{
    b.method<&STStampObserver::settingsChanged>("settingsChanged:");
}

namespace {

TEST(SettingsStore, LoadsAllThreeSavedSettingsWhenFirstAsked)
{
    EXPECT_TRUE(g_loaded.mapViewRetrieveAddress);
    EXPECT_FALSE(g_loaded.mapsAppQueryLocation);
    EXPECT_TRUE(g_loaded.stamp);
}

TEST(SettingsStore, IsTheSameObjectForEveryCallerOnEveryThread)
{
    Quorix* seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] { slot = Quorix::sharedQuorix(); });
    for (auto& thread : threads)
        thread.join();
    for (Quorix* store : seen)
        EXPECT_EQ(store, Quorix::sharedQuorix());
    ASSERT_NE(objc_getClass("Quorix"), nullptr);
    EXPECT_TRUE(Quorix::sharedQuorix()->isMemberOfClass(objc_getClass("Quorix")));
}

TEST(SettingsStore, EachSetterSavesItsOwnKeyAtOnce)
{
    AutoreleasePool pool;
    struct Row {
        const char* setter;
        const char* getter;
        std::string_view key;
    };
    const Row rows[] = {
        { "setMapViewRetrieveAddressEnabled:", "mapViewRetrieveAddressEnabled", "quorix_mapview_retrieveaddress" },
        { "setMapsAppQueryLocationEnabled:", "mapsAppQueryLocationEnabled", "quorix_mapsapp_querylocation" },
        { "setStampEnabled:", "stampEnabled", "quorix_stamp_enabled" },
    };
    auto* store = Quorix::sharedQuorix();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        for (const auto& other : rows)
            objc::send<void>(store, other.setter, false);

        objc::send<void>(store, row.setter, true);
        EXPECT_TRUE(objc::send<bool>(store, row.getter));
        for (const auto& other : rows)
            EXPECT_EQ(savedValue(other.key), &other == &row) << other.key;

        objc::send<void>(store, row.setter, false);
        EXPECT_FALSE(objc::send<bool>(store, row.getter));
        EXPECT_FALSE(savedValue(row.key));
    }
}

TEST(SettingsStore, StampSetterAnnouncesEverySetBeforeReturningEvenWhenUnchanged)
{
    AutoreleasePool pool;
    auto* store = Quorix::sharedQuorix();
    store->setStampEnabled(false);
    ObservedStampNotification observed;

    store->setStampEnabled(true);
    ASSERT_EQ(observed.posts().size(), 1U);
    store->setStampEnabled(true);
    ASSERT_EQ(observed.posts().size(), 2U);
    objc::send<void>(store, "setStampEnabled:", false);
    ASSERT_EQ(observed.posts().size(), 3U);

    const bool expectedSeen[] = { true, true, false };
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(observed.posts()[i].name, "StampSettingsChangedNotification");
        EXPECT_FALSE(observed.posts()[i].hadObject);
        EXPECT_EQ(observed.posts()[i].stampEnabledSeen, expectedSeen[i]);
    }
}

TEST(SettingsStore, StampSetterWritesTheKeyAgainWhenTheValueIsUnchanged)
{
    AutoreleasePool pool;
    auto* store = Quorix::sharedQuorix();
    store->setStampEnabled(true);

    // Someone else turns the saved value off behind the store's back.
    NSUserDefaults::resetStandardUserDefaults();
    NSUserDefaults::standardUserDefaults()->setBoolForKey(false, kQuorixStampEnabledKey);
    ASSERT_TRUE(NSUserDefaults::standardUserDefaults()->synchronize());
    ASSERT_FALSE(savedValue(kQuorixStampEnabledKey));

    store->setStampEnabled(true); // the store already holds true
    EXPECT_TRUE(savedValue(kQuorixStampEnabledKey));
    EXPECT_TRUE(store->lastSaveSucceeded());
}

TEST(SettingsStore, OnlyTheStampSetterPostsTheNotification)
{
    AutoreleasePool pool;
    auto* store = Quorix::sharedQuorix();
    ObservedStampNotification observed;
    store->setMapsAppQueryLocationEnabled(true);
    store->setMapsAppQueryLocationEnabled(false);
    store->setMapViewRetrieveAddressEnabled(true);
    store->setMapViewRetrieveAddressEnabled(false);
    EXPECT_TRUE(observed.posts().empty());
}

TEST(SettingsStore, SharedObjectSlotsRetainTheirObjectAndReleaseItWhenEmptied)
{
    AutoreleasePool pool;
    struct Row {
        const char* getter;
        const char* setter;
        const char* ivar;
    };
    const Row rows[] = {
        { "infoItem", "setInfoItem:", "_infoItem" },
        { "popoverController", "setPopoverController:", "_popoverController" },
        { "stampView", "setStampView:", "_stampView" },
    };
    auto* store = Quorix::sharedQuorix();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.getter);
        auto item = make_object<NSObject>();
        ASSERT_EQ(item->retainCount(), 1);

        objc::send<void>(store, row.setter, item);
        EXPECT_EQ(item->retainCount(), 2);
        EXPECT_EQ(objc::send<id>(store, row.getter), item.get());
        {
            AutoreleasePool inner;
            EXPECT_EQ(instanceVariableNamed(store, row.ivar), item.get());
        }
        EXPECT_TRUE(IsPropertyObjectType(Quorix::objcClass(), row.getter));

        auto replacement = make_object<NSObject>();
        objc::send<void>(store, row.setter, replacement);
        EXPECT_EQ(item->retainCount(), 1);
        EXPECT_EQ(replacement->retainCount(), 2);

        objc::send<void>(store, row.setter, static_cast<id>(nullptr));
        EXPECT_EQ(replacement->retainCount(), 1);
        EXPECT_EQ(objc::send<id>(store, row.getter), nullptr);
    }
}

} // namespace
