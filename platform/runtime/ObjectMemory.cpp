#include "runtime/ObjectMemory.h"

#include <new>

#include <sys/single_threaded.h>

namespace objc {

ObjectMemory::~ObjectMemory()
{
    for (List& list : lists_) {
        for (FreeBlock* block = list.first; block;) {
            FreeBlock* next = block->next;
            ::operator delete(block);
            block = next;
        }
    }
}

// A kept size is rounded up to its class in both directions, so a block
// allocated here may be freed with or without threads, kept or not.
void* ObjectMemory::allocate(size_t size)
{
    if (size == 0 || size > kLargestKept)
        return ::operator new(size);
    const size_t index = (size - 1) / kClassWidth;
    if (__libc_single_threaded) {
        List& list = lists_[index];
        if (FreeBlock* block = list.first) {
            list.first = block->next;
            --list.count;
            return block;
        }
    }
    return ::operator new((index + 1) * kClassWidth); // the class's size
}

void ObjectMemory::free(void* block, size_t size)
{
    if (!block)
        return;
    if (size == 0 || size > kLargestKept) {
        ::operator delete(block);
        return;
    }
    const size_t index = (size - 1) / kClassWidth;
    if (__libc_single_threaded) {
        List& list = lists_[index];
        if (list.count < kKeptPerClass) {
            list.first = new (block) FreeBlock { list.first };
            ++list.count;
            return;
        }
    }
    ::operator delete(block);
}

size_t ObjectMemory::keptBlocks() const
{
    size_t kept = 0;
    for (const List& list : lists_)
        kept += list.count;
    return kept;
}

namespace {

// Under AddressSanitizer objects take the general allocator's road, so a use
// of a freed object is still reported.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepsObjects = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kKeepsObjects = false;
#else
constexpr bool kKeepsObjects = true;
#endif
#else
constexpr bool kKeepsObjects = true;
#endif

// The process's object memory: set up before any code runs (its lists
// start empty, a constant), so no call asks whether it exists yet, and never
// destroyed, since objects are freed while the process exits.
union ProcessMemory {
    constexpr ProcessMemory()
        : memory()
    {
    }
    ~ProcessMemory() { }
    ObjectMemory memory;
};
constinit ProcessMemory processMemory;

} // namespace

void* allocateObject(size_t size) { return kKeepsObjects ? processMemory.memory.allocate(size) : ::operator new(size); }

void freeObject(void* block, size_t size)
{
    if (kKeepsObjects)
        processMemory.memory.free(block, size);
    else
        ::operator delete(block);
}

} // namespace objc
