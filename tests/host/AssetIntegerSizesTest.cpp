// The host declaring its size properties as plain integers. The declaration
// kind is read when the host library loads, before main, so this program
// starts itself again with the setting when it was started without it.

#include "PLManagedAsset.h"

#include "runtime/AutoreleasePool.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

TEST(IntegerSizes, AreTheDeclarationChosenByTheEnvironment)
{
    EXPECT_EQ(PLManagedAsset::sizeDeclaration(), PLManagedAsset::SizeDeclaration::Integer);
}

TEST(IntegerSizes, AreDeclaredAsIntegerProperties)
{
    Class cls = objc_getClass("PLManagedAsset");
    ASSERT_NE(cls, nullptr);
    for (const char* name : { "width", "height", "originalWidth", "originalHeight" }) {
        SCOPED_TRACE(name);
        objc_property_t property = class_getProperty(cls, name);
        ASSERT_NE(property, nullptr);
        EXPECT_STREQ(property_getAttributes(property), "Tq,R,N");
    }
}

TEST(IntegerSizes, AnswerIntegersOrZero)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto photo = PLManagedAsset::assetWithPath(fixtures::writeJpeg(dir.path(), "p.jpg", 64, 48, { { "Exif.Image.Orientation", "5" } }));
    struct Case {
        const char* selector;
        NSInteger value;
    };
    const Case cases[] = { { "width", 48 }, { "height", 64 }, { "originalWidth", 64 }, { "originalHeight", 48 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        EXPECT_EQ(objc::send<NSInteger>(photo, c.selector), c.value);
    }

    auto text = PLManagedAsset::assetWithPath(fixtures::writeFile(dir.path(), "t.txt", "text"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        EXPECT_EQ(objc::send<NSInteger>(text, c.selector), 0);
    }
}

TEST(IntegerSizes, RefuseAnObjectCall)
{
    AutoreleasePool pool;
    auto asset = PLManagedAsset::assetWithPath("/nowhere/p.jpg");
    EXPECT_THROW(objc::send<id>(asset, "width"), objc::BadMethodSignature);
}

} // namespace

int main(int argc, char** argv)
{
    const char* setting = std::getenv(PLManagedAsset::SizeDeclarationVariable);
    if (!setting || std::strcmp(setting, "integer") != 0) {
        ::setenv(PLManagedAsset::SizeDeclarationVariable, "integer", 1);
        ::execv("/proc/self/exe", argv);
        std::perror("cannot start again with integer sizes");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
