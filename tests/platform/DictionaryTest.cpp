#include "foundation/NSArray.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> keysInOrder(const NSDictionary* dictionary)
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : *dictionary)
        keys.push_back(key);
    return keys;
}

long long integerFor(const NSDictionary* dictionary, std::string_view key)
{
    const auto* number = dictionary->objectOfClassForKey<NSNumber>(key);
    return number ? number->longLongValue() : -1;
}

TEST(Dictionary, KeepsOneEntryPerKeyInKeyOrderWhateverTheOrderOfWrites)
{
    AutoreleasePool pool;
    auto dictionary = NSMutableDictionary::dictionaryWithCapacity(2);
    // Out of order, in order, a key that is a prefix of another, a replacement.
    for (const char* key : { "Model", "Make", "Orientation", "Flash", "Zoom", "Mak", "Make" })
        dictionary->setObjectForKey(NSNumber::numberWithLongLong(static_cast<long long>(std::string(key).size())), key);
    dictionary->setObjectForKey(NSNumber::numberWithLongLong(99), "Model");

    EXPECT_EQ(keysInOrder(dictionary.get()), (std::vector<std::string> { "Flash", "Mak", "Make", "Model", "Orientation", "Zoom" }));
    EXPECT_EQ(dictionary->count(), 6u);
    EXPECT_EQ(integerFor(dictionary.get(), "Model"), 99);
    EXPECT_EQ(integerFor(dictionary.get(), "Mak"), 3);
    EXPECT_EQ(dictionary->objectForKey("Ma"), nullptr);
    EXPECT_EQ(dictionary->objectForKey("Zoomed"), nullptr);
    EXPECT_EQ(dictionary->objectForKey(""), nullptr);

    // A nil object removes, as does removeObjectForKey; an absent key changes nothing.
    dictionary->setObjectForKey(static_cast<id>(nullptr), "Flash");
    dictionary->removeObjectForKey("Zoom");
    dictionary->removeObjectForKey("Absent");
    EXPECT_EQ(keysInOrder(dictionary.get()), (std::vector<std::string> { "Mak", "Make", "Model", "Orientation" }));
    EXPECT_EQ(dictionary->descriptionText(), "{Mak = 3; Make = 4; Model = 99; Orientation = 11}");
    EXPECT_EQ(objc::send<long>(dictionary, "count"), 4);
    EXPECT_EQ(objc::send<id>(dictionary, "objectForKey:", "Make"_ns), dictionary->objectForKey("Make"));
}

TEST(Dictionary, HoldsOneReferenceToEachValueUntilItIsReplacedOrRemoved)
{
    auto value = NSString::stringWithUTF8String("kept");
    auto replacement = NSString::stringWithUTF8String("other");
    const int before = value->retainCount();
    {
        auto dictionary = NSMutableDictionary::dictionary();
        dictionary->setObjectForKey(value, "b");
        dictionary->setObjectForKey(value, "a"); // inserted before an existing entry
        EXPECT_EQ(value->retainCount(), before + 2);
        dictionary->setObjectForKey(replacement, "b");
        EXPECT_EQ(value->retainCount(), before + 1);
        dictionary->removeObjectForKey("a");
        EXPECT_EQ(value->retainCount(), before);
        dictionary->setObjectForKey(value, "c");
    }
    EXPECT_EQ(value->retainCount(), before);
    EXPECT_EQ(replacement->retainCount(), before);
}

} // namespace
