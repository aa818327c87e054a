#pragma once

#include "runtime/Forward.h"

#include <array>
#include <cstddef>
#include <vector>

// A scope whose autoreleased objects are released when it ends. Pools nest per
// thread; an object autoreleased with no pool open is released when its
// thread ends.
class AutoreleasePool {
public:
    AutoreleasePool();
    ~AutoreleasePool();
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

    // Releases what the pool holds so far and keeps it open.
    void drain();

    static void add(id object);

private:
    // The first objects sit in the pool itself: a pool around one photo's
    // work then takes no memory of its own.
    static constexpr size_t kInPlace = 32;
    std::array<id, kInPlace> inPlace_;
    size_t inPlaceCount_ = 0;
    std::vector<id> more_;
    AutoreleasePool* outer_;
};
