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

// Each test gets a centre of its own, so no registration leaks into another
// test, and one log for its listeners.
class NotificationCenter : public testing::Test {
protected:
    Ref<NCListener> listener(const char* label) { return NCListener::create(label, &log); }
    // A listener observing `name` from `sender` (any sender when nil).
    Ref<NCListener> observer(const char* label, const char* name = "Changed", id sender = nullptr)
    {
        auto made = listener(label);
        center->addObserver(made, "noted:", name, sender);
        return made;
    }

    AutoreleasePool pool;
    Log log;
    Ref<NSNotificationCenter> center = make_object<NSNotificationCenter>();
};

TEST_F(NotificationCenter, DeliversToObserversOfTheNameInRegistrationOrder)
{
    // Made in another order than they register, so that an order by address shows.
    auto a = listener("a");
    auto b = listener("b");
    auto c = listener("c");
    auto other = listener("other");
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

TEST_F(NotificationCenter, FiltersBySenderOnlyWhenOneWasGiven)
{
    auto first = "first"_ns;
    auto second = "second"_ns;
    auto anySender = observer("any");
    auto onlyFirst = observer("first", "Changed", first);

    center->postNotificationName("Changed", second);
    center->postNotificationName("Changed", nullptr);
    EXPECT_EQ(log, (Log { "any:Changed", "any:Changed" }));

    log.clear();
    center->postNotificationName("Changed", first);
    EXPECT_EQ(log, (Log { "any:Changed", "first:Changed" }));
}

TEST_F(NotificationCenter, AnObserverWithoutANameHearsEveryName)
{
    auto all = observer("all", "");

    center->postNotificationName("One", nullptr);
    center->postNotificationName("Two", nullptr);

    EXPECT_EQ(log, (Log { "all:One", "all:Two" }));
}

TEST_F(NotificationCenter, RemovesByNameBySenderOrEverything)
{
    auto sender = "sender"_ns;
    auto l = observer("l", "One");
    center->addObserver(l, "noted:", "Two", nullptr);
    center->addObserver(l, "noted:", "Two", sender);
    center->addObserver(l, "noted:", "Three", nullptr);
    ASSERT_EQ(center->observerCount(), 4U);

    // A sender given to the removal removes only registrations for that sender.
    center->removeObserver(l, "Two", sender);
    EXPECT_EQ(center->observerCount(), 3U);
    center->postNotificationName("Two", sender);
    EXPECT_EQ(log, (Log { "l:Two" }));

    // A name alone removes that name for every sender, and leaves other names.
    center->removeObserver(l, "Two", nullptr);
    log.clear();
    center->postNotificationName("Two", nullptr);
    center->postNotificationName("One", nullptr);
    EXPECT_EQ(log, (Log { "l:One" }));

    center->removeObserver(l);
    EXPECT_EQ(center->observerCount(), 0U);
    log.clear();
    center->postNotificationName("One", nullptr);
    center->postNotificationName("Three", nullptr);
    EXPECT_TRUE(log.empty());
}

TEST_F(NotificationCenter, RemovalLeavesOtherObserversOfTheSameName)
{
    auto keep = observer("keep");
    auto drop = observer("drop");

    center->removeObserver(drop, "Changed", nullptr);
    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "keep:Changed" }));
}

TEST_F(NotificationCenter, SkipsAnObserverRemovedByAnEarlierOneOfTheSamePost)
{
    auto a = observer("a");
    auto b = observer("b");
    auto c = observer("c");
    a->onNote = [&] { center->removeObserver(b); };

    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "a:Changed", "c:Changed" }));
}

TEST_F(NotificationCenter, AnObserverMayRemoveItselfWhileBeingCalled)
{
    auto once = observer("once");
    auto after = observer("after");
    once->onNote = [&] { center->removeObserver(once); };

    center->postNotificationName("Changed", nullptr);
    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "once:Changed", "after:Changed", "after:Changed" }));
}

TEST_F(NotificationCenter, AnObserverAddedDuringAPostHearsOnlyLaterPosts)
{
    auto adder = observer("adder");
    auto late = listener("late");
    adder->onNote = [&, added = false]() mutable {
        if (!std::exchange(added, true))
            center->addObserver(late, "noted:", "Changed", nullptr);
    };

    center->postNotificationName("Changed", nullptr);
    EXPECT_EQ(log, (Log { "adder:Changed" }));

    center->postNotificationName("Changed", nullptr);
    EXPECT_EQ(log, (Log { "adder:Changed", "adder:Changed", "late:Changed" }));
}

TEST_F(NotificationCenter, AReregisteredObserverIsNotCalledTwiceByOnePost)
{
    // Removing and adding again gives a new registration, which the post in
    // progress did not include; the old one is gone, so nothing runs twice.
    auto first = observer("first");
    auto cycled = observer("cycled");
    first->onNote = [&, cycledOnce = false]() mutable {
        if (std::exchange(cycledOnce, true))
            return;
        center->removeObserver(cycled);
        center->addObserver(cycled, "noted:", "Changed", nullptr);
    };

    center->postNotificationName("Changed", nullptr);

    EXPECT_EQ(log, (Log { "first:Changed" }));
}

TEST_F(NotificationCenter, DoesNotRetainObserversOrIgnoreNilOnes)
{
    auto l = listener("l");
    int before = l->retainCount();

    center->addObserver(l, "noted:", "Changed", nullptr);
    center->addObserver(nullptr, "noted:", "Changed", nullptr);

    EXPECT_EQ(l->retainCount(), before);
    EXPECT_EQ(center->observerCount(), 1U);
}

TEST_F(NotificationCenter, AnswersTheSameMessagesThroughTheRuntime)
{
    auto l = listener("l");
    auto name = "Changed"_ns;
    auto observe = [&] { objc::send<void>(center, "addObserver:selector:name:object:", l.get(), SEL("noted:"), name.get(), static_cast<id>(nullptr)); };

    observe();
    objc::send<void>(center, "postNotificationName:object:", name.get(), static_cast<id>(nullptr));
    EXPECT_EQ(log, (Log { "l:Changed" }));

    objc::send<void>(center, "removeObserver:name:object:", l.get(), name.get(), static_cast<id>(nullptr));
    EXPECT_EQ(center->observerCount(), 0U);

    observe();
    objc::send<void>(center, "removeObserver:", l.get());
    EXPECT_EQ(center->observerCount(), 0U);
}

TEST_F(NotificationCenter, TheNotificationAnswersItsNameAndSenderThroughTheRuntime)
{
    auto sender = "sender"_ns;
    auto notification = NSNotification::notificationWithName("Changed", sender);

    auto* name = objc::send<NSString*>(notification, "name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->str(), "Changed");
    EXPECT_EQ(objc::send<id>(notification, "object"), sender.get());
}

TEST_F(NotificationCenter, TheDefaultCentreIsOneInstanceThatDelivers)
{
    auto* shared = NSNotificationCenter::defaultCenter();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared, NSNotificationCenter::defaultCenter());

    auto l = listener("l");
    shared->addObserver(l, "noted:", "NCTestDefaultCentre", nullptr);
    shared->postNotificationName("NCTestDefaultCentre", nullptr);
    shared->removeObserver(l);
    shared->postNotificationName("NCTestDefaultCentre", nullptr);

    EXPECT_EQ(log, (Log { "l:NCTestDefaultCentre" }));
}

} // namespace
