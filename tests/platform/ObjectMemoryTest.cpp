#include "runtime/ObjectMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include <sys/single_threaded.h>

namespace {

using objc::ObjectMemory;

// Writes every byte the caller asked for: under AddressSanitizer a block
// smaller than that is reported here.
void* filled(void* block, size_t size)
{
    std::memset(block, 0xa5, size);
    return block;
}

// The kept lists serve only a process of one thread; each test runs in a
// process of its own, and the one that starts a thread comes last.
TEST(ObjectMemory, HandsAFreedBlockOutAgainOnlyForAnObjectItHolds)
{
    if (!__libc_single_threaded)
        GTEST_SKIP() << "an earlier test in this process started a thread";
    ObjectMemory memory;
    void* row = filled(memory.allocate(33), 33);
    memory.free(row, 33);

    void* larger = filled(memory.allocate(56), 56);
    EXPECT_NE(larger, row) << "a block kept for 33 bytes served 56";
    // The largest size of the class fits in a block first asked for by its smallest.
    void* sameClass = filled(memory.allocate(48), 48);
    EXPECT_EQ(sameClass, row) << "a freed block of the same class was not reused";
    void* large = filled(memory.allocate(ObjectMemory::kLargestKept + 1), ObjectMemory::kLargestKept + 1);

    memory.free(sameClass, 48);
    memory.free(larger, 56);
    memory.free(large, ObjectMemory::kLargestKept + 1);
    EXPECT_EQ(memory.keptBlocks(), 2u) << "only blocks of kept sizes stay";
}

TEST(ObjectMemory, KeepsNoMoreThanItsBoundOfAClass)
{
    if (!__libc_single_threaded)
        GTEST_SKIP() << "an earlier test in this process started a thread";
    ObjectMemory memory;
    std::vector<void*> blocks;
    for (size_t i = 0; i < ObjectMemory::kKeptPerClass + 10; ++i)
        blocks.push_back(filled(memory.allocate(24), 24));
    for (void* block : blocks)
        memory.free(block, 24);
    // The ten beyond the bound went back to the general allocator (the leak
    // checker reports them otherwise), the rest go with the memory.
    EXPECT_EQ(memory.keptBlocks(), ObjectMemory::kKeptPerClass);
}

TEST(ObjectMemory, KeepsNothingOnceTheProcessHasAThread)
{
    ObjectMemory memory;
    void* kept = filled(memory.allocate(48), 48);
    std::thread([] { }).join();
    ASSERT_FALSE(__libc_single_threaded);

    memory.free(kept, 48);
    EXPECT_EQ(memory.keptBlocks(), 0u) << "a list without a lock was used with threads about";
    // A block allocated while single-threaded may be freed on either road.
    memory.free(filled(memory.allocate(48), 48), 48);
    EXPECT_EQ(memory.keptBlocks(), 0u);
}

} // namespace
