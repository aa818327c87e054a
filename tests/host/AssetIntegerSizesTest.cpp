// The host declaring its size properties as plain integers. The declaration
// kind is read when the host library loads, before main, so this program
// starts itself again with the setting when it was started without it.

#include "photolibrary/PLManagedAsset.h"

#include "runtime/AutoreleasePool.h"

#include "host/SizePropertiesSupport.h"

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
    sizetest::expectSizePropertiesDeclaredAs("Tq,R,N");
}

TEST(IntegerSizes, AnswerIntegersOrZero)
{
    AutoreleasePool pool;
    sizetest::SizeAssets assets("5");
    for (const auto& size : assets.photoSizes) {
        SCOPED_TRACE(size.selector);
        EXPECT_EQ(objc::send<NSInteger>(assets.photo, size.selector), size.value);
        EXPECT_EQ(objc::send<NSInteger>(assets.text, size.selector), 0);
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
