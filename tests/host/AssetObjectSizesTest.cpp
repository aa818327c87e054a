// The host declaring its size properties as number objects (the default).

#include "PLManagedAsset.h"

#include "foundation/NSNumber.h"
#include "runtime/AutoreleasePool.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

namespace {

TEST(ObjectSizes, AreTheDefaultDeclaration)
{
    EXPECT_EQ(PLManagedAsset::sizeDeclaration(), PLManagedAsset::SizeDeclaration::Object);
}

TEST(ObjectSizes, AreDeclaredAsNumberProperties)
{
    Class cls = objc_getClass("PLManagedAsset");
    ASSERT_NE(cls, nullptr);
    for (const char* name : { "width", "height", "originalWidth", "originalHeight" }) {
        SCOPED_TRACE(name);
        objc_property_t property = class_getProperty(cls, name);
        ASSERT_NE(property, nullptr);
        EXPECT_STREQ(property_getAttributes(property), "T@\"NSNumber\",R,N");
    }
}

TEST(ObjectSizes, AnswerNumbersOrNil)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto photo = PLManagedAsset::assetWithPath(fixtures::writeJpeg(dir.path(), "p.jpg", 64, 48, { { "Exif.Image.Orientation", "8" } }));
    struct Case {
        const char* selector;
        long long value;
    };
    const Case cases[] = { { "width", 48 }, { "height", 64 }, { "originalWidth", 64 }, { "originalHeight", 48 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        auto* number = objc_cast<NSNumber>(objc::send<id>(photo, c.selector));
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->longLongValue(), c.value);
    }

    auto text = PLManagedAsset::assetWithPath(fixtures::writeFile(dir.path(), "t.txt", "text"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        EXPECT_EQ(objc::send<id>(text, c.selector), nullptr);
    }
}

TEST(ObjectSizes, RefuseAnIntegerCall)
{
    AutoreleasePool pool;
    auto asset = PLManagedAsset::assetWithPath("/nowhere/p.jpg");
    EXPECT_THROW(objc::send<NSInteger>(asset, "width"), objc::BadMethodSignature);
}

} // namespace
