#include "foundation/NSNotificationCenter.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/ClassDefinition.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records every notification it receives as "label:name" in a shared log; a
// test can give it something more to do while it is being called.
class NCListener : public NSObject {
    QX_OBJECT(NCListener, NSObject)
public:
    static Ref<NCListener> create(std::string label, std::vector<std::string>* log)
    {
        return make_object<NCListener>(std::move(label), log);
    }

    void noted(NSNotification* notification)
    {
        log_->push_back(label_ + ":" + (notification ? notification->name()->str() : std::string("(nil)")));
        lastSender = notification ? notification->object() : nullptr;
        if (onNote)
            onNote();
    }

    std::function<void()> onNote;
    id lastSender = nullptr;

protected:
    NCListener(std::string label, std::vector<std::string>* log)
        : label_(std::move(label))
        , log_(log)
    {
    }

private:
    std::string label_;
    std::vector<std::string>* log_;
};

} // namespace

QX_DEFINE_CLASS(NCListener)
{
    b.method<&NCListener::noted>("noted:");
}

namespace {

using Log = std::vector<std::string>;

// Each test gets a centre of its own, so no registration leaks into another test.
Ref<NSNotificationCenter> freshCenter() { return make_object<NSNotificationCenter>(); }

TEST(NotificationCenter, DeliversToObserversOfTheNameInRegistrationOrder)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto a = NCListener::create("a", &log);
    auto b = NCListener::create("b", &log);
    auto c = NCListener::create("c", &log);
    auto other = NCListener::create("other", &log);
    center->addObserver(b, "noted:", "Changed", nullptr);
    center->addObserver(other, "noted:", "Unrelated", nullptr);
    center->addObserver(a, "noted:", "Changed", nullptr);
    center->addObserver(c, "noted:", "Changed", nullptr);

    auto sender = "sender"_ns;
    center->postNotificationName("Changed", sender);

    EXPECT_EQ(log, (Log { "b:Changed", "a:Changed", "c:Changed" }));
    EXPECT_EQ(a->lastSender, sender.get());
    EXPECT_EQ(other->lastSender, nullptr);
}

TEST(NotificationCenter, FiltersBySenderOnlyWhenOneWasGiven)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto anySender = NCListener::create("any", &log);
    auto onlyFirst = NCListener::create("first", &log);
    auto first = "first"_ns;
    auto second = "second"_ns;
    center->addObserver(anySender, "noted:", "Changed", nullptr);
    center->addObserver(onlyFirst, "noted:", "Changed", first);

    center->postNotificationName("Changed", second);
    center->postNotificationName("Changed", nullptr);
    EXPECT_EQ(log, (Log { "any:Changed", "any:Changed" }));

    log.clear();
    center->postNotificationName("Changed", first);
    EXPECT_EQ(log, (Log { "any:Changed", "first:Changed" }));
}

TEST(NotificationCenter, AnObserverWithoutANameHearsEveryName)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto all = NCListener::create("all", &log);
    center->addObserver(all, "noted:", "", nullptr);

    center->postNotificationName("One", nullptr);
    center->postNotificationName("Two", nullptr);

    EXPECT_EQ(log, (Log { "all:One", "all:Two" }));
}

TEST(NotificationCenter, RemovesByNameBySenderOrEverything)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto listener = NCListener::create("l", &log);
    auto sender = "sender"_ns;
    center->addObserver(listener, "noted:", "One", nullptr);
    center->addObserver(listener, "noted:", "Two", nullptr);
    center->addObserver(listener, "noted:", "Two", sender);
    center->addObserver(listener, "noted:", "Three", nullptr);
    ASSERT_EQ(center->observerCount(), 4U);

    // A sender given to the removal removes only registrations for that sender.
    center->removeObserver(listener, "Two", sender);
    EXPECT_EQ(center->observerCount(), 3U);
    center->postNotificationName("Two", sender);
    EXPECT_EQ(log, (Log { "l:Two" }));

    // A name alone removes that name for every sender, and leaves other names.
    center->removeObserver(listener, "Two", nullptr);
    log.clear();
    center->postNotificationName("Two", nullptr);
    center->postNotificationName("One", nullptr);
    EXPECT_EQ(log, (Log { "l:One" }));

    center->removeObserver(listener);
    EXPECT_EQ(center->observerCount(), 0U);
    log.clear();
    center->postNotificationName("One", nullptr);
    center->postNotificationName("Three", nullptr);
    EXPECT_TRUE(log.empty());
}

TEST(NotificationCenter, RemovalLeavesOtherObserversOfTheSameName)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto keep = NCListener::create("keep", &log);
    auto drop = NCListener::create("drop", &log);
    center->addObserver(keep, "noted:", "Changed", nullptr);
    center->addObserver(drop, "noted:", "Changed", nullptr);

    center->removeObserver(drop, "Changed", nullptr);
    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "keep:Changed" }));
}

TEST(NotificationCenter, SkipsAnObserverRemovedByAnEarlierOneOfTheSamePost)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto a = NCListener::create("a", &log);
    auto b = NCListener::create("b", &log);
    auto c = NCListener::create("c", &log);
    center->addObserver(a, "noted:", "Changed", nullptr);
    center->addObserver(b, "noted:", "Changed", nullptr);
    center->addObserver(c, "noted:", "Changed", nullptr);
    a->onNote = [&] { center->removeObserver(b); };

    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "a:Changed", "c:Changed" }));
}

TEST(NotificationCenter, AnObserverMayRemoveItselfWhileBeingCalled)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto once = NCListener::create("once", &log);
    auto after = NCListener::create("after", &log);
    center->addObserver(once, "noted:", "Changed", nullptr);
    center->addObserver(after, "noted:", "Changed", nullptr);
    once->onNote = [&] { center->removeObserver(once); };

    center->postNotificationName("Changed", nullptr);
    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "once:Changed", "after:Changed", "after:Changed" }));
}

TEST(NotificationCenter, AnObserverAddedDuringAPostHearsOnlyLaterPosts)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto adder = NCListener::create("adder", &log);
    auto late = NCListener::create("late", &log);
    center->addObserver(adder, "noted:", "Changed", nullptr);
    bool added = false;
    adder->onNote = [&] {
        if (std::exchange(added, true))
            return;
        center->addObserver(late, "noted:", "Changed", nullptr);
    };

    center->postNotificationName("Changed", nullptr);
    EXPECT_EQ(log, (Log { "adder:Changed" }));

    center->postNotificationName("Changed", nullptr);
    EXPECT_EQ(log, (Log { "adder:Changed", "adder:Changed", "late:Changed" }));
}

TEST(NotificationCenter, AReregisteredObserverIsNotCalledTwiceByOnePost)
{
    // Removing and adding again gives a new registration, which the post in
    // progress did not include; the old one is gone, so nothing runs twice.
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto first = NCListener::create("first", &log);
    auto cycled = NCListener::create("cycled", &log);
    center->addObserver(first, "noted:", "Changed", nullptr);
    center->addObserver(cycled, "noted:", "Changed", nullptr);
    bool cycledOnce = false;
    first->onNote = [&] {
        if (std::exchange(cycledOnce, true))
            return;
        center->removeObserver(cycled);
        center->addObserver(cycled, "noted:", "Changed", nullptr);
    };

    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "first:Changed" }));
}

TEST(NotificationCenter, DoesNotRetainObserversOrIgnoreNilOnes)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto listener = NCListener::create("l", &log);
    int before = listener->retainCount();

    center->addObserver(listener, "noted:", "Changed", nullptr);
    center->addObserver(nullptr, "noted:", "Changed", nullptr);

    EXPECT_EQ(listener->retainCount(), before);
    EXPECT_EQ(center->observerCount(), 1U);
}

TEST(NotificationCenter, AnswersTheSameMessagesThroughTheRuntime)
{
    AutoreleasePool pool;
    Log log;
    auto center = freshCenter();
    auto listener = NCListener::create("l", &log);
    auto name = "Changed"_ns;

    objc::send<void>(center, "addObserver:selector:name:object:", listener.get(), SEL("noted:"), name.get(), static_cast<id>(nullptr));
    objc::send<void>(center, "postNotificationName:object:", name.get(), static_cast<id>(nullptr));
    EXPECT_EQ(log, (Log { "l:Changed" }));

    objc::send<void>(center, "removeObserver:name:object:", listener.get(), name.get(), static_cast<id>(nullptr));
    EXPECT_EQ(center->observerCount(), 0U);

    objc::send<void>(center, "addObserver:selector:name:object:", listener.get(), SEL("noted:"), name.get(), static_cast<id>(nullptr));
    objc::send<void>(center, "removeObserver:", listener.get());
    EXPECT_EQ(center->observerCount(), 0U);
}

TEST(NotificationCenter, TheNotificationAnswersItsNameAndSenderThroughTheRuntime)
{
    AutoreleasePool pool;
    auto sender = "sender"_ns;
    auto notification = NSNotification::notificationWithName("Changed", sender);

    auto* name = objc::send<NSString*>(notification, "name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->str(), "Changed");
    EXPECT_EQ(objc::send<id>(notification, "object"), sender.get());
}

TEST(NotificationCenter, TheDefaultCentreIsOneInstanceThatDelivers)
{
    AutoreleasePool pool;
    Log log;
    auto* center = NSNotificationCenter::defaultCenter();
    ASSERT_NE(center, nullptr);
    EXPECT_EQ(center, NSNotificationCenter::defaultCenter());

    auto listener = NCListener::create("l", &log);
    center->addObserver(listener, "noted:", "NCTestDefaultCentre", nullptr);
    center->postNotificationName("NCTestDefaultCentre", nullptr);
    center->removeObserver(listener);
    center->postNotificationName("NCTestDefaultCentre", nullptr);

    EXPECT_EQ(log, (Log { "l:NCTestDefaultCentre" }));
}

} // namespace
