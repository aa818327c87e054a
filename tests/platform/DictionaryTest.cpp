#include "foundation/NSArray.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/FlatMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
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

// An immutable copy finds its entries by its own road (a hash index from a
// few entries up); it must answer every key, present or not, as the mutable
// original does.
TEST(Dictionary, ACopyFindsWhatItsOriginalFindsForEveryKey)
{
    AutoreleasePool pool;
    const std::vector<std::string> photoKeys { "ExposureTime", "ExposureMode", "ExposureProgram", "ExposureBiasValue", "FNumber",
        "Flash", "FocalLength", "FocalLenIn35mmFilm", "ISOSpeedRatings", "DateTimeOriginal", "DateTimeDigitized", "", "A", "AA",
        "AAA", "AB", "BA" };
    for (size_t size : { 3, 8, 17, 64, 255, 256, 300 }) {
        SCOPED_TRACE(size);
        std::vector<std::string> keys(photoKeys.begin(), photoKeys.begin() + std::min(size, photoKeys.size()));
        for (size_t i = keys.size(); i < size; ++i)
            keys.push_back("Key" + std::to_string(i * 7919 % 1000) + "-" + std::to_string(i));
        auto original = NSMutableDictionary::dictionary();
        for (const auto& key : keys)
            original->setObjectForKey(NSString::stringWithUTF8String(key), key);
        auto copy = NSDictionary::dictionaryWithDictionary(original.get());
        ASSERT_EQ(copy->count(), keys.size());

        std::vector<std::string> probes = keys;
        for (const auto& key : keys) {
            probes.push_back(key + "x");
            if (!key.empty()) {
                probes.push_back(key.substr(0, key.size() - 1));
                std::string changed = key;
                changed[changed.size() / 2] ^= 1;
                probes.push_back(changed);
            }
        }
        for (const auto& probe : probes)
            EXPECT_EQ(copy->objectForKey(probe), original->objectForKey(probe)) << "key \"" << probe << "\"";
        EXPECT_EQ(keysInOrder(copy.get()), keysInOrder(original.get()));
    }
}

} // namespace

// The text hash reads every byte: keys that differ in one byte anywhere,
// at any length a key has (whole words, the tail's overlapping loads, the
// short tail), hash apart, and so do texts that differ only in length.
TEST(TextHash, EveryByteAndTheLengthCount)
{
    for (size_t length = 0; length <= 40; ++length) {
        std::set<size_t> hashes;
        const std::string text(length, 'a');
        hashes.insert(textHash(text));
        for (size_t at = 0; at < length; ++at) {
            std::string changed = text;
            changed[at] = 'b';
            hashes.insert(textHash(changed));
        }
        EXPECT_EQ(hashes.size(), length + 1) << "length " << length;
    }
    EXPECT_NE(textHash(std::string(3, '\0')), textHash(std::string(4, '\0')));
    EXPECT_NE(textHash("abc"), textHash("abc", 1)) << "the seed counts";
}
