#pragma once

#include <array>
#include <cstddef>

namespace objc {

// Where objects live. A photo's parse makes and frees some sixty small
// objects (rows, strings, arrays); the general allocator keeps only a few
// freed blocks of a size at hand, so most of those frees and the next
// photo's allocations take its slower road. This keeps freed blocks of each
// small size on a list of its own, up to a bound, and hands them out again.
//
// The lists serve only while the process has one thread (the C library's
// `__libc_single_threaded`, which never turns back once a thread starts), so
// they need no lock; with threads, blocks come from and go to the general
// allocator, lists included.
class ObjectMemory {
public:
    // Blocks up to this size are kept, in classes 16 bytes apart.
    static constexpr size_t kLargestKept = 256;
    // Freed blocks kept per class; more go back to the general allocator.
    static constexpr size_t kKeptPerClass = 128;

    ObjectMemory() = default;
    ~ObjectMemory();
    ObjectMemory(const ObjectMemory&) = delete;
    ObjectMemory& operator=(const ObjectMemory&) = delete;

    void* allocate(size_t size);
    // `size` is what the block was allocated with.
    void free(void* block, size_t size);
    // Blocks kept for reuse, all classes together.
    size_t keptBlocks() const;

private:
    struct FreeBlock {
        FreeBlock* next;
    };
    struct List {
        FreeBlock* first = nullptr;
        size_t count = 0;
    };

    static constexpr size_t kClassWidth = 16;

    std::array<List, kLargestKept / kClassWidth> lists_ {};
};

// The process's object memory, behind NSObject's operator new and delete
// (under AddressSanitizer, the general allocator, so that a use of a freed
// object is still reported).
void* allocateObject(size_t size);
void freeObject(void* block, size_t size);

} // namespace objc
