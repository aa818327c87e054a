// The host declaring its size properties as number objects (the default).

#include "photolibrary/PLManagedAsset.h"

#include "foundation/NSNumber.h"
#include "runtime/AutoreleasePool.h"

#include "host/SizePropertiesSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ObjectSizes, AreTheDefaultDeclaration)
{
    EXPECT_EQ(PLManagedAsset::sizeDeclaration(), PLManagedAsset::SizeDeclaration::Object);
}

TEST(ObjectSizes, AreDeclaredAsNumberProperties)
{
    sizetest::expectSizePropertiesDeclaredAs("T@\"NSNumber\",R,N");
}

TEST(ObjectSizes, AnswerNumbersOrNil)
{
    AutoreleasePool pool;
    sizetest::SizeAssets assets("8");
    for (const auto& size : assets.photoSizes) {
        SCOPED_TRACE(size.selector);
        EXPECT_EQ(objc::send<id>(assets.text, size.selector), nullptr);
        auto* number = objc_cast<NSNumber>(objc::send<id>(assets.photo, size.selector));
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->longLongValue(), size.value);
    }
}

TEST(ObjectSizes, RefuseAnIntegerCall)
{
    AutoreleasePool pool;
    auto asset = PLManagedAsset::assetWithPath("/nowhere/p.jpg");
    EXPECT_THROW(objc::send<NSInteger>(asset, "width"), objc::BadMethodSignature);
}

} // namespace
