// The lock-free cache behind every message send: a slot answers only for its
// own selector and generation, and readers on other threads never see a
// method for the wrong selector.

#include "runtime/MethodCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

// Methods for selectors "m0", "m1", ...: far more than the cache has slots,
// so many share one.
std::deque<objc_method> methods(size_t count)
{
    std::deque<objc_method> made;
    for (size_t i = 0; i < count; ++i)
        made.push_back(objc_method { SEL("cached" + std::to_string(i)), "v@:", IMP() });
    return made;
}

} // namespace

TEST(MethodCache, AnswersOnlyForItsOwnSelectorAndGeneration)
{
    objc::MethodCache cache;
    auto all = methods(4 * objc::MethodCache::kSlots);
    EXPECT_EQ(cache.find(all[0].name, 1), nullptr) << "empty at first";
    cache.remember(&all[0], 1);
    EXPECT_EQ(cache.find(all[0].name, 1), &all[0]);
    EXPECT_EQ(cache.find(all[0].name, 2), nullptr) << "a method table changed since";

    // Every method remembered; each found either as itself or not at all,
    // the last of the ones sharing a slot winning it.
    for (auto& method : all)
        cache.remember(&method, 3);
    size_t found = 0;
    for (auto& method : all) {
        Method answer = cache.find(method.name, 3);
        EXPECT_TRUE(answer == nullptr || answer == &method) << method.name.name();
        found += answer != nullptr;
    }
    EXPECT_GT(found, objc::MethodCache::kSlots / 2) << "the selectors spread over the slots";
    EXPECT_LE(found, objc::MethodCache::kSlots);

    cache.clear();
    for (auto& method : all)
        EXPECT_EQ(cache.find(method.name, 3), nullptr) << method.name.name();
    // Only 16 bits of the generation are kept: when they come round, an old
    // slot would pass for current, so the caches must be emptied then.
    cache.remember(&all[0], 1);
    EXPECT_TRUE(objc::MethodCache::needsClearing(1 + 0x10000));
    EXPECT_EQ(cache.find(all[0].name, 1 + 0x10000), &all[0]) << "what needsClearing guards against";
    EXPECT_FALSE(objc::MethodCache::needsClearing(2));
}

TEST(MethodCache, ReadersOnManyThreadsSeeTheirOwnMethodOrNone)
{
    objc::MethodCache cache;
    auto all = methods(2 * objc::MethodCache::kSlots);
    std::atomic<size_t> wrong { 0 };
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (size_t round = 0; round < 2000; ++round) {
                auto& method = all[(round * 7 + t) % all.size()];
                cache.remember(&method, 5);
                for (auto& other : all) {
                    Method answer = cache.find(other.name, 5);
                    if (answer && answer != &other)
                        ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0u);
}

TEST(MethodCache, IsMadeOnceForAClass)
{
    std::atomic<objc::MethodCache*> pointer { nullptr };
    objc::MethodCache& first = objc::MethodCache::of(pointer);
    EXPECT_EQ(&objc::MethodCache::of(pointer), &first);
    EXPECT_EQ(pointer.load(), &first);
    delete pointer.load();
}
