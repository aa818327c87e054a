#pragma once

// What the programs for the two declaration kinds of the host's size
// properties share: the four properties, and assets to ask for them.

#include "photolibrary/PLManagedAsset.h"

#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

namespace sizetest {

// Checks that each of the four size properties is declared with `attributes`.
inline void expectSizePropertiesDeclaredAs(const char* attributes)
{
    Class cls = objc_getClass("PLManagedAsset");
    ASSERT_NE(cls, nullptr);
    for (const char* name : { "width", "height", "originalWidth", "originalHeight" }) {
        SCOPED_TRACE(name);
        objc_property_t property = class_getProperty(cls, name);
        ASSERT_NE(property, nullptr);
        EXPECT_STREQ(property_getAttributes(property), attributes);
    }
}

// A photo stored 64 x 48 with an orientation that turns it a quarter, and a
// text file, in a scratch folder.
struct SizeAssets {
    explicit SizeAssets(const char* orientation)
        : photo(PLManagedAsset::assetWithPath(fixtures::writeJpeg(dir.path(), "p.jpg", 64, 48, { { "Exif.Image.Orientation", orientation } })))
        , text(PLManagedAsset::assetWithPath(fixtures::writeFile(dir.path(), "t.txt", "text")))
    {
    }

    // What the photo answers: upright width and height, then the stored ones.
    struct Size {
        const char* selector;
        long long value;
    };
    static constexpr Size photoSizes[] = { { "width", 48 }, { "height", 64 }, { "originalWidth", 64 }, { "originalHeight", 48 } };

    fixtures::TempDir dir;
    Ref<PLManagedAsset> photo;
    Ref<PLManagedAsset> text;
};

} // namespace sizetest
