// The runtime kit as the screens and hooks use it. This program links the
// runtime's objects alone: a call from the runtime into any higher framework
// would fail to link it.

#include "runtime/AutoreleasePool.h"
#include "runtime/Category.h"
#include "runtime/ClassDefinition.h"
#include "runtime/Hook.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace {

std::vector<std::string> g_calls;
int g_widgetsDestroyed = 0;

class KTWidget : public NSObject {
    QX_OBJECT(KTWidget, NSObject)
public:
    long size() const { return size_; }
    void grow(long by) { size_ += by; g_calls.push_back("grow"); }
    void setVisible(bool visible) { visible_ = visible; }
    void setScale(double scale) { scale_ = scale; }

    Ref<KTWidget> child_;
    objc::WeakRef<KTWidget> peer_;
    long size_ = 1;
    bool visible_ = false;
    double scale_ = 1;

protected:
    KTWidget() = default;
    ~KTWidget() override { ++g_widgetsDestroyed; }
};

class KTGadget : public KTWidget {
    QX_OBJECT(KTGadget, KTWidget)
protected:
    KTGadget() = default;
};

} // namespace

QX_DEFINE_CLASS(KTWidget)
{
    b.property<&KTWidget::child_>("child");
    b.property<&KTWidget::peer_>("peer");
    b.property<&KTWidget::size_>("size");
    b.method<&KTWidget::grow>("grow:");
    b.method<&KTWidget::setVisible>("setVisible:");
    b.method<&KTWidget::setScale>("setScale:");
    b.classMethod("widget", [](Class cls) -> Ref<NSObject> { return objc::create(cls, "init"); });
    b.method("dealloc", [](KTWidget* self) {
        g_calls.push_back("dealloc");
        objc::sendSuper(self, "dealloc");
    });
}

QX_DEFINE_CLASS(KTGadget) { }

namespace {

TEST(RuntimeKit, MakesInstancesOfAClassKnownOnlyByName)
{
    AutoreleasePool pool;
    auto object = objc::create(objc_getClass("KTGadget"), "init");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object_getClass(object.get()), KTGadget::objcClass());
    EXPECT_EQ(objc::send<long>(object, "size"), 1);
    EXPECT_EQ(objc::create(objc_getClass("KTNoSuchClass"), "init"), nullptr);
}

TEST(RuntimeKit, ClassMessagesReachSubclassesAsThemselves)
{
    AutoreleasePool pool;
    id fromWidget = objc::sendClass<id>(KTWidget::objcClass(), "widget");
    id fromGadget = objc::sendClass<id>(KTGadget::objcClass(), "widget");
    EXPECT_EQ(object_getClass(fromWidget), KTWidget::objcClass());
    EXPECT_EQ(object_getClass(fromGadget), KTGadget::objcClass());
    EXPECT_TRUE(objc::classObject(KTGadget::objcClass())->respondsToSelector("widget"));
    EXPECT_FALSE(fromGadget->respondsToSelector("widget")); // a class method, not an instance one
    // A class made at run time, with no C++ type, inherits the allocator.
    Class runtimeClass = objc_allocateClassPair(KTGadget::objcClass(), "KTRuntimeGadget");
    objc_registerClassPair(runtimeClass);
    EXPECT_EQ(object_getClass(objc::sendClass<id>(runtimeClass, "widget")), runtimeClass);
}

TEST(RuntimeKit, OneLinePropertiesDeriveIvarAttributesAndAccessors)
{
    AutoreleasePool pool;
    EXPECT_STREQ(property_getAttributes(class_getProperty(KTWidget::objcClass(), "child")), "T@\"KTWidget\",&,N,V_child");
    EXPECT_STREQ(property_getAttributes(class_getProperty(KTWidget::objcClass(), "peer")), "T@\"KTWidget\",W,N,V_peer");
    EXPECT_STREQ(property_getAttributes(class_getProperty(KTWidget::objcClass(), "size")), "Tq,N,V_size");
    EXPECT_STREQ(ivar_getTypeEncoding(class_getInstanceVariable(KTWidget::objcClass(), "_child")), "@\"KTWidget\"");

    auto parent = objc::create<KTWidget>("init");
    {
        auto child = objc::create<KTGadget>("init");
        objc::send(parent, "setChild:", child);
        objc::send(parent, "setPeer:", child);
        objc::send(parent, "setSize:", 7);
    }
    EXPECT_NE(objc::send<id>(parent, "child"), nullptr); // retained by the property
    EXPECT_EQ(objc::send<id>(parent, "peer"), objc::send<id>(parent, "child"));
    EXPECT_EQ(parent->size_, 7);
    id held = nullptr;
    object_getInstanceVariable(parent.get(), "_child", &held);
    EXPECT_EQ(held, parent->child_.get());

    // The weak link reads nil once its object is gone.
    objc::send(parent, "setChild:", nullptr);
    EXPECT_EQ(objc::send<id>(parent, "peer"), nullptr);
    // A property setter handed an object of the wrong class fails loudly.
    EXPECT_THROW(objc::send(parent, "setChild:", objc::classObject(KTWidget::objcClass())), objc::BadMethodSignature);
}

TEST(RuntimeKit, LiteralArgumentsReachTypedParameters)
{
    AutoreleasePool pool;
    auto widget = objc::create<KTWidget>("init");
    objc::send(widget, "setVisible:", 1);
    objc::send(widget, "setScale:", 2.5f);
    objc::send(widget, "setScale:", 3);
    objc::send(widget, "grow:", true);
    EXPECT_TRUE(widget->visible_);
    EXPECT_EQ(widget->scale_, 3.0);
    EXPECT_EQ(widget->size_, 2);
    EXPECT_THROW(objc::send(widget, "setScale:", widget), objc::BadMethodSignature);
}

TEST(RuntimeKit, ATemporaryRefDoesNotDecayToARawPointer)
{
    static_assert(!std::is_convertible_v<Ref<KTWidget>&&, KTWidget*>);
    static_assert(std::is_convertible_v<Ref<KTWidget>&, KTWidget*>);
    SUCCEED();
}

objc::Original<void(objc::Value)> s_grow;
objc::Original<void()> s_dealloc;

void growLast(id self, SEL cmd, objc::Value by)
{
    g_calls.push_back("before");
    s_grow(self, cmd, by); // passes the argument on without knowing its type
}

void deallocHook(id self, SEL cmd)
{
    if (objc::isKind(self, KTGadget::objcClass()))
        g_calls.push_back("gadget teardown");
    s_dealloc(self, cmd);
}

TEST(RuntimeKit, HooksCallTheReplacedImplementationWithTheSameArguments)
{
    AutoreleasePool pool;
    g_calls.clear();
    g_widgetsDestroyed = 0;
    Class gadget = objc_getClass("KTGadget");
    // Both selectors are inherited: the replacement lands on KTWidget's
    // methods, so the class test decides who gets the extra work.
    EXPECT_EQ(objc::replaceMethods(gadget,
                  {
                      { "grow:", objc::replacement(&growLast), s_grow },
                      { "noSuchMethod", objc::replacement(&growLast), s_grow },
                      { "dealloc", objc::replacement(&deallocHook), s_dealloc },
                  }),
        2);
    {
        auto g = objc::create(gadget, "init");
        objc::send(g, "grow:", 4L);
        EXPECT_EQ(objc_cast<KTWidget>(g.get())->size_, 5);
        auto w = objc::create<KTWidget>("init");
    }
    EXPECT_EQ(g_calls, (std::vector<std::string> { "before", "grow", "dealloc", "gadget teardown", "dealloc" }));
    EXPECT_EQ(g_widgetsDestroyed, 2); // each freed exactly once
}

int g_lateCategoryCalls = 0;

TEST(RuntimeKit, ACategoryWaitsForItsClassToRegister)
{
    AutoreleasePool pool;
    EXPECT_EQ(objc::registerCategory("KTLateClass",
                  [](objc::CategoryBuilder& c) { c.method("kt_ping", +[](NSObject*) { ++g_lateCategoryCalls; }); }),
        objc::Attached::WhenRegistered);
    Class late = objc_allocateClassPair(KTWidget::objcClass(), "KTLateClass");
    EXPECT_EQ(class_getInstanceMethod(late, "kt_ping"), nullptr);
    objc_registerClassPair(late);
    objc::send(objc::create(late, "init"), "kt_ping");
    EXPECT_EQ(g_lateCategoryCalls, 1);
}

} // namespace
