#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/ClassDefinition.h"
#include "runtime/Dispatch.h"
#include "runtime/TargetAction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int g_animalsDestroyed = 0;

class RTAnimal : public NSObject {
    QX_OBJECT(RTAnimal, NSObject)
public:
    static Ref<RTAnimal> create() { return make_object<RTAnimal>(); }
    Ref<NSString> speak() const { return NSString::stringWithUTF8String("..."); }
    long legs() const { return 4; }
    void setName(NSString* name) { name_ = name; }

protected:
    RTAnimal() = default;
    ~RTAnimal() override { ++g_animalsDestroyed; }

private:
    Ref<NSString> name_;
};

class RTDog : public RTAnimal {
    QX_OBJECT(RTDog, RTAnimal)
public:
    static Ref<RTDog> create() { return make_object<RTDog>(); }
    Ref<NSString> fetch() const { return NSString::stringWithUTF8String("stick"); }

protected:
    RTDog() = default;
};

// A class nothing in the tests names in C++: only its name reaches it.
class RTUntouchedBird : public RTAnimal {
    QX_OBJECT(RTUntouchedBird, RTAnimal)
    void fly() { }
};

class RTCat : public RTAnimal {
    QX_OBJECT(RTCat, RTAnimal)
public:
    static Ref<RTCat> create() { return make_object<RTCat>(); }

protected:
    RTCat() = default;
};

} // namespace

QX_DEFINE_CLASS(RTAnimal)
{
    b.property("name", "T@\"NSString\",&,N,V_name");
    b.property("legs", "Tq,R,N");
    b.ivar("_name", "@\"NSString\"", &RTAnimal::name_);
    b.ivar("_legs", "q");
    b.method<&RTAnimal::speak>("speak");
    b.method<&RTAnimal::legs>("legs");
    b.method<&RTAnimal::setName>("setName:");
}

QX_DEFINE_CLASS(RTDog)
{
    b.method<&RTDog::fetch>("fetch");
}

QX_DEFINE_CLASS(RTCat) { }

// An object that, when it goes, may autorelease a follower: what a dealloc
// that hands an object on does while its pool drains.
std::vector<int> g_linksGone;

class RTLink : public NSObject {
    QX_OBJECT(RTLink, NSObject)
public:
    static void autoreleaseNew(int number, bool followed) { make_object<RTLink>(number, followed).leak()->autorelease(); }

protected:
    RTLink(int number, bool followed)
        : number_(number)
        , followed_(followed)
    {
    }
    ~RTLink() override
    {
        g_linksGone.push_back(number_);
        if (followed_)
            autoreleaseNew(number_ + 1000, false);
    }

private:
    int number_;
    bool followed_;
};

QX_DEFINE_CLASS(RTLink) { }

QX_DEFINE_CLASS(RTUntouchedBird)
{
    b.method<&RTUntouchedBird::fly>("fly");
}

namespace {

std::string text(NSObject* object) { return object ? object->descriptionText() : "(nil)"; }

TEST(RuntimeClasses, AreFoundByNameAndUnknownNamesGiveNothing)
{
    EXPECT_EQ(objc_getClass("RTDog"), RTDog::objcClass());
    EXPECT_EQ(NSClassFromString("RTCat"), RTCat::objcClass());
    EXPECT_EQ(objc_getClass("RTNoSuchClass"), nullptr);
    EXPECT_EQ(class_getSuperclass(RTDog::objcClass()), RTAnimal::objcClass());
}

TEST(RuntimeClasses, ThatNoCodeHasUsedYetAreFoundByNameWithTheirMethodsAndTheirNamesAreTaken)
{
    // Classes are defined when first used; their names are known from the start.
    EXPECT_EQ(objc_allocateClassPair(NSObject::objcClass(), "RTUntouchedBird"), nullptr);
    Class bird = NSClassFromString("RTUntouchedBird");
    ASSERT_NE(bird, nullptr);
    EXPECT_EQ(class_getSuperclass(bird), RTAnimal::objcClass());
    EXPECT_NE(class_getInstanceMethod(bird, SEL("fly")), nullptr);
    EXPECT_NE(class_getInstanceMethod(bird, SEL("speak")), nullptr);
    EXPECT_EQ(objc_getClass("RTUntouchedBird"), bird);
}

TEST(RuntimeClasses, AnswerKindAndRespondsToFromTheirTables)
{
    AutoreleasePool pool;
    auto dog = RTDog::create();
    EXPECT_TRUE(dog->isKindOfClass(RTAnimal::objcClass()));
    EXPECT_TRUE(dog->isKindOfClass(NSObject::objcClass()));
    EXPECT_FALSE(dog->isKindOfClass(RTCat::objcClass()));
    EXPECT_TRUE(dog->isMemberOfClass(RTDog::objcClass()));
    EXPECT_FALSE(dog->isMemberOfClass(RTAnimal::objcClass()));
    EXPECT_TRUE(dog->respondsToSelector("fetch"));
    EXPECT_TRUE(dog->respondsToSelector("speak")); // inherited
    EXPECT_FALSE(RTCat::create()->respondsToSelector("fetch"));
}

// A C++ subclass that declares no runtime class of its own: its instances
// are RTDog's in the runtime, but not every RTDog is one.
class RTPlainDog : public RTDog {
public:
    static Ref<RTPlainDog> create() { return make_object<RTPlainDog>(); }
};

TEST(RuntimeClasses, CastsFollowTheObjectsTypeWhereClassesAreShared)
{
    auto dog = RTDog::create();
    auto plain = RTPlainDog::create();
    EXPECT_EQ(objc_cast<RTDog>(dog.get()), dog.get());
    EXPECT_EQ(objc_cast<RTAnimal>(dog.get()), dog.get());
    EXPECT_EQ(objc_cast<RTCat>(dog.get()), nullptr);
    EXPECT_EQ(objc_cast<RTDog>(plain.get()), plain.get());
    EXPECT_EQ(objc_cast<RTPlainDog>(plain.get()), plain.get());
    EXPECT_EQ(objc_cast<RTPlainDog>(dog.get()), nullptr); // same class, other type
}

TEST(RuntimeClasses, WhoseTypeNeedsArgumentsMakeNoInstanceByName)
{
    // Not an instance of an ancestor's type under the class's name: a cast
    // trusts an instance of a class to be of that class's type.
    EXPECT_THROW(objc::sendClass<id>(RTLink::objcClass(), "alloc"), objc::BadMethodSignature);
    // Nor does a class made on it at run time.
    Class madeOnIt = objc_allocateClassPair(RTLink::objcClass(), "RTLinkMadeAtRunTime");
    ASSERT_NE(madeOnIt, nullptr);
    objc_registerClassPair(madeOnIt);
    EXPECT_EQ(objc::allocateInstance(madeOnIt), nullptr);
}

TEST(RuntimeSelectors, AreOneSelectorPerNameWhicheverThreadMakesItFirst)
{
    // More names than the table first has room for, made by two threads at
    // once in opposite orders, then looked up again once it has grown.
    constexpr int kNames = 3000;
    auto nameOf = [](int i) { return "rtSelectorTest" + std::to_string(i) + ":with:"; };
    std::vector<SEL> forward(kNames), backward(kNames);
    std::thread other([&] {
        for (int i = kNames - 1; i >= 0; --i)
            backward[i] = SEL(nameOf(i));
    });
    for (int i = 0; i < kNames; ++i)
        forward[i] = SEL(nameOf(i));
    other.join();
    for (int i = 0; i < kNames; ++i) {
        ASSERT_EQ(forward[i], backward[i]) << nameOf(i);
        ASSERT_EQ(forward[i].name(), nameOf(i));
        // A view of text that does not end where the name does names it too.
        const std::string longer = nameOf(i) + "tail";
        ASSERT_EQ(SEL(std::string_view(longer).substr(0, longer.size() - 4)), forward[i]);
    }
    EXPECT_NE(SEL("rtSelectorTest1:with:"), SEL("rtSelectorTest10:with:"));
}

TEST(RuntimeMessages, ToClassesNoOneHasAskedYetReachTheRightMethodsFromTwoThreadsAtOnce)
{
    // A class remembers what it answers in a table made on its first lookup;
    // here two threads make those first lookups together, class after class.
    constexpr int kClasses = 40;
    std::vector<Class> classes;
    for (int i = 0; i < kClasses; ++i) {
        Class cls = objc_allocateClassPair(RTAnimal::objcClass(), "RTFirstAskedTogether" + std::to_string(i));
        ASSERT_NE(cls, nullptr);
        objc_registerClassPair(cls);
        classes.push_back(cls);
    }
    std::atomic<int> ready { 0 };
    auto lookUp = [&](std::vector<bool>& right) {
        ready.fetch_add(1);
        while (ready.load() < 2) { }
        for (Class cls : classes) {
            right.push_back(class_getInstanceMethod(cls, SEL("speak")) == class_getInstanceMethod(RTAnimal::objcClass(), SEL("speak"))
                && class_getInstanceMethod(cls, SEL("legs")) != nullptr && class_getInstanceMethod(cls, SEL("fetch")) == nullptr);
        }
    };
    std::vector<bool> mine, theirs;
    std::thread other([&] { lookUp(theirs); });
    lookUp(mine);
    other.join();
    EXPECT_EQ(mine, std::vector<bool>(kClasses, true));
    EXPECT_EQ(theirs, std::vector<bool>(kClasses, true));
}

TEST(RuntimeMessages, ReachInheritedMethodsAndIgnoreNil)
{
    AutoreleasePool pool;
    auto dog = RTDog::create();
    EXPECT_EQ(text(objc::send<id>(dog, "speak")), "...");
    EXPECT_EQ(objc::send<long>(dog, "legs"), 4);
    EXPECT_EQ(objc::send<id>(static_cast<NSObject*>(nullptr), "speak"), nullptr);
    EXPECT_EQ(objc::send<long>(static_cast<NSObject*>(nullptr), "legs"), 0);
    EXPECT_THROW(objc::send<void>(dog, "noSuchMethod"), objc::UnrecognizedSelector);
}

TEST(RuntimeMessages, NameTheMethodTheTextSaysNowEvenWhereOtherTextWasBefore)
{
    AutoreleasePool pool;
    auto dog = RTDog::create();
    // One buffer, two names in turn: each send reaches the method its text names.
    char name[16] = "speak";
    EXPECT_EQ(text(objc::send<id>(dog, name)), "...");
    std::strcpy(name, "legs");
    EXPECT_EQ(objc::send<long>(dog, name), 4);
    EXPECT_EQ(SEL(name), SEL("legs"));
    std::strcpy(name, "legz");
    EXPECT_THROW(objc::send<void>(dog, name), objc::UnrecognizedSelector);
}

TEST(RuntimeMessages, BridgeLiteralsAndNilButFailLoudlyOnWhatCannotFit)
{
    AutoreleasePool pool;
    auto dog = RTDog::create();
    // What the platform accepts: an int literal for a long, nil for an object.
    EXPECT_EQ(objc::send<int>(dog, "legs"), 4);
    EXPECT_NO_THROW(objc::send<void>(dog, "setName:", nullptr));
    EXPECT_NO_THROW(objc::send<void>(dog, "setName:", "x"_ns));
    // What it does not: a number for an object, an object of the wrong
    // class, a result read from a method that returns nothing.
    EXPECT_THROW(objc::send<void>(dog, "setName:", 5L), objc::BadMethodSignature);
    EXPECT_THROW(objc::send<void>(dog, "setName:", RTCat::create()), objc::BadMethodSignature);
    EXPECT_THROW(objc::send<id>(dog, "setName:", "x"_ns), objc::BadMethodSignature);
    EXPECT_THROW(objc::send<void>(dog, "setName:"), objc::BadMethodSignature);
}

TEST(RuntimeMethods, ReplacementOnAnInheritedMethodReachesSiblingSubclasses)
{
    AutoreleasePool pool;
    // Looking the selector up on RTDog finds RTAnimal's method, so replacing it
    // changes what every animal answers: the reason replacements test the class.
    Method method = class_getInstanceMethod(RTDog::objcClass(), "speak");
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method, class_getInstanceMethod(RTAnimal::objcClass(), "speak"));
    static IMP saved;
    saved = method_getImplementation(method);
    IMP replacement = objc::imp(+[](id self, SEL cmd) -> id {
        if (!self->isKindOfClass(RTDog::objcClass()))
            return objc::callImp<id>(saved, self, cmd);
        return NSString::stringWithUTF8String("woof").leak()->autorelease();
    });
    IMP previous = method_setImplementation(method, replacement);
    EXPECT_TRUE(previous == saved);

    EXPECT_EQ(text(objc::send<id>(RTDog::create(), "speak")), "woof");
    EXPECT_EQ(text(objc::send<id>(RTCat::create(), "speak")), "...");
    EXPECT_EQ(text(objc::send<id>(RTAnimal::create(), "speak")), "...");

    method_setImplementation(method, saved);
    EXPECT_EQ(text(objc::send<id>(RTDog::create(), "speak")), "...");
}

TEST(RuntimeMethods, AnImplementationReplacedWhileItRunsFinishesItsCall)
{
    // A hook installed from inside the method it replaces, the old
    // implementation dropped at once: the running call still has its state.
    AutoreleasePool pool;
    Class cls = objc_allocateClassPair(NSObject::objcClass(), "RTSelfReplacing");
    ASSERT_NE(cls, nullptr);
    objc_registerClassPair(cls);
    const std::string answer(64, 'x'); // on the heap, inside the implementation
    auto original = IMP::make<long>([answer](id self, SEL cmd) -> long {
        class_replaceMethod(object_getClass(self), cmd, objc::imp(+[](id, SEL) -> long { return 2; }), "q@:");
        return static_cast<long>(answer.size());
    });
    ASSERT_TRUE(class_addMethod(cls, "answer", original, "q@:"));
    original = IMP();
    NSObject* object = objc::allocateInstance(cls);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(objc::send<long>(object, "answer"), 64);
    EXPECT_EQ(objc::send<long>(object, "answer"), 2);
    object->release();
}

TEST(RuntimeMethods, AddingASelectorTheClassAlreadyHasFailsAndChangesNothing)
{
    AutoreleasePool pool;
    IMP other = objc::imp(+[](id, SEL) -> long { return 3; });
    EXPECT_FALSE(class_addMethod(RTAnimal::objcClass(), "legs", other, "q@:"));
    EXPECT_EQ(objc::send<long>(RTAnimal::create(), "legs"), 4);
    EXPECT_FALSE(class_addMethod(nullptr, "legs", other, "q@:"));

    // A subclass that only inherits the selector may add its own, and its
    // instances answer with it even after they have answered the inherited one.
    EXPECT_EQ(objc::send<long>(RTCat::create(), "legs"), 4);
    EXPECT_TRUE(class_addMethod(RTCat::objcClass(), "legs", other, "q@:"));
    EXPECT_EQ(objc::send<long>(RTCat::create(), "legs"), 3);
    EXPECT_EQ(objc::send<long>(RTDog::create(), "legs"), 4);
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(RTCat::objcClass(), "legs")), "q@:");
}

TEST(RuntimeMethods, AddedMethodsTakeTheGivenTypeEncoding)
{
    AutoreleasePool pool;
    static int calls = 0;
    ASSERT_TRUE(class_addMethod(RTDog::objcClass(), "_rt_show:", objc::imp(+[](id, SEL, id) { ++calls; }), "v@"));
    objc::send<void>(RTDog::create(), "_rt_show:", static_cast<id>(nullptr));
    EXPECT_EQ(calls, 1);
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(RTDog::objcClass(), "_rt_show:")), "v@");
}

TEST(RuntimeIntrospection, ListsOwnMethodsIncludingCategoryMethods)
{
    auto names = [](Class cls) {
        std::vector<std::string> list;
        for (Method m : class_copyMethodList(cls))
            list.push_back(method_getName(m).name());
        return list;
    };
    EXPECT_EQ(names(RTAnimal::objcClass()), (std::vector<std::string> { "speak", "legs", "setName:" }));
    EXPECT_TRUE(names(objc_getClass("RTCat")).empty() || names(RTCat::objcClass()) == std::vector<std::string> { "legs" });

    ASSERT_EQ(objc::attachCategory("RTDog", { { "rt_roll", objc::imp(+[](id, SEL) { }), "v@:" } }), objc::Attached::Now);
    auto dogMethods = names(RTDog::objcClass());
    EXPECT_NE(std::find(dogMethods.begin(), dogMethods.end(), "rt_roll"), dogMethods.end());
    EXPECT_EQ(objc::attachCategory("RTMissingClass", { { "rt_roll", objc::imp(+[](id, SEL) { }), "v@:" } }), objc::Attached::WhenRegistered);
}

TEST(RuntimeIntrospection, PropertiesCarryTheirAttributeStringsAndAreInherited)
{
    objc_property_t name = class_getProperty(RTDog::objcClass(), "name");
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(property_getAttributes(name), "T@\"NSString\",&,N,V_name");
    EXPECT_STREQ(property_getAttributes(class_getProperty(RTAnimal::objcClass(), "legs")), "Tq,R,N");
    EXPECT_EQ(class_getProperty(RTDog::objcClass(), "tail"), nullptr);
    EXPECT_EQ(class_getProperty(nullptr, "name"), nullptr);
}

TEST(RuntimeIntrospection, InstanceVariablesAreOwnAndReadableByName)
{
    AutoreleasePool pool;
    auto ivars = class_copyIvarList(RTAnimal::objcClass());
    ASSERT_EQ(ivars.size(), 2U);
    EXPECT_STREQ(ivar_getName(ivars[0]), "_name");
    EXPECT_STREQ(ivar_getTypeEncoding(ivars[0]), "@\"NSString\"");
    EXPECT_TRUE(class_copyIvarList(RTDog::objcClass()).empty());

    auto dog = RTDog::create();
    dog->setName("Rex"_ns.get());
    id value = nullptr;
    EXPECT_NE(object_getInstanceVariable(dog, "_name", &value), nullptr);
    EXPECT_EQ(text(value), "Rex");
    EXPECT_NE(object_getInstanceVariable(dog, "_legs", &value), nullptr);
    EXPECT_EQ(value, nullptr); // a scalar has no object to give
    EXPECT_EQ(object_getInstanceVariable(dog, "_tail", &value), nullptr);
    EXPECT_EQ(value, nullptr);
}

TEST(RuntimeReferenceCounting, ReplacedDeallocRunsOnceThenFreesOnce)
{
    static int replacementRuns = 0;
    static IMP savedDealloc;
    // A class whose instances already went through the root `dealloc` sees
    // a replacement made afterwards.
    { auto earlier = RTCat::create(); }
    Method dealloc = class_getInstanceMethod(RTCat::objcClass(), "dealloc");
    ASSERT_NE(dealloc, nullptr);
    savedDealloc = method_getImplementation(dealloc);
    method_setImplementation(dealloc, objc::imp(+[](id self, SEL cmd) {
        if (self->isKindOfClass(RTCat::objcClass())) {
            ++replacementRuns;
            // Work in a dealloc may retain and release the object again; that
            // must not start a second dealloc.
            Ref<NSObject> again(self);
        }
        objc::callImp<void>(savedDealloc, self, cmd);
    }));

    int destroyedBefore = g_animalsDestroyed;
    {
        auto cat = RTCat::create();
        Ref<RTCat> second = cat;
        EXPECT_EQ(cat->retainCount(), 2);
    }
    EXPECT_EQ(replacementRuns, 1);
    EXPECT_EQ(g_animalsDestroyed, destroyedBefore + 1);

    { auto dog = RTDog::create(); }
    EXPECT_EQ(replacementRuns, 1); // the class test kept the dog out
    EXPECT_EQ(g_animalsDestroyed, destroyedBefore + 2);

    method_setImplementation(dealloc, savedDealloc);
}

TEST(RuntimeReferenceCounting, AutoreleasedObjectsLiveUntilTheirPoolDrains)
{
    int destroyedBefore = g_animalsDestroyed;
    {
        AutoreleasePool outer;
        {
            AutoreleasePool inner;
            RTAnimal::create().leak()->autorelease();
            EXPECT_EQ(g_animalsDestroyed, destroyedBefore);
        }
        EXPECT_EQ(g_animalsDestroyed, destroyedBefore + 1);
        RTAnimal::create().leak()->autorelease();
        outer.drain();
        EXPECT_EQ(g_animalsDestroyed, destroyedBefore + 2);
    }
}

TEST(RuntimeReferenceCounting, APoolReleasesWhatItsReleasesAutoreleaseInTheOrderTheyCame)
{
    // A few objects and more than a pool holds in place, each autoreleasing
    // a follower into the same pool as it goes.
    for (int count : { 10, 50 }) {
        SCOPED_TRACE(count);
        g_linksGone.clear();
        std::vector<int> expected;
        AutoreleasePool pool;
        for (int i = 0; i < count; ++i)
            RTLink::autoreleaseNew(i, true);
        EXPECT_TRUE(g_linksGone.empty());
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < count; ++i)
                expected.push_back(i + round * 1000);
        }
        pool.drain();
        EXPECT_EQ(g_linksGone, expected);
        // The drained pool is open and empty: what comes next goes at its end.
        RTLink::autoreleaseNew(7, false);
        EXPECT_EQ(g_linksGone.size(), expected.size());
        pool.drain();
        expected.push_back(7);
        EXPECT_EQ(g_linksGone, expected);
    }
}

TEST(RuntimeTargetAction, DeliversTheSenderThroughTheRuntimeAndSeesReplacements)
{
    AutoreleasePool pool;
    static id lastSender = nullptr;
    ASSERT_TRUE(class_addMethod(RTCat::objcClass(), "rt_tapped:", objc::imp(+[](id, SEL, id sender) { lastSender = sender; }), "v@:@"));
    auto cat = RTCat::create();
    auto button = RTAnimal::create();
    EXPECT_TRUE(objc_sendAction("rt_tapped:", cat, button));
    EXPECT_EQ(lastSender, button.get());

    // A replaced action is what the next tap reaches.
    static int replaced = 0;
    method_setImplementation(class_getInstanceMethod(RTCat::objcClass(), "rt_tapped:"), objc::imp(+[](id, SEL, id) { ++replaced; }));
    objc_sendAction("rt_tapped:", cat, button);
    EXPECT_EQ(replaced, 1);

    EXPECT_FALSE(objc_sendAction("rt_tapped:", RTDog::create().get(), button)); // does not answer it
    EXPECT_FALSE(objc_sendAction("rt_tapped:", nullptr, button));
}

// Counts changed while the process had one thread, then by two threads at
// once: every retain and release counts, and the last release ends it.
TEST(RuntimeReferenceCounts, StayExactWhenThreadsShareAnObject)
{
    auto shared = RTDog::create();
    for (int i = 0; i < 3; ++i)
        shared->retain();
    constexpr int kRounds = 1'000'000;
    std::atomic<int> ready { 0 };
    auto churn = [&] {
        ready.fetch_add(1);
        while (ready.load() < 2) { }
        for (int i = 0; i < kRounds; ++i) {
            shared->retain();
            shared->release();
        }
    };
    std::thread other(churn);
    churn();
    other.join();
    for (int i = 0; i < 3; ++i)
        shared->release();
    EXPECT_EQ(shared->retainCount(), 1);
    const int destroyed = g_animalsDestroyed;
    shared = nullptr;
    EXPECT_EQ(g_animalsDestroyed, destroyed + 1);
}

TEST(RuntimeOnce, RunsTheBlockOnceAcrossThreads)
{
    static dispatch_once_t token;
    static std::atomic<int> runs { 0 };
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([] { dispatch_once(&token, [] { ++runs; }); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(runs.load(), 1);
}

} // namespace
