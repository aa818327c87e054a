#pragma once

#include "runtime/Forward.h"

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
    std::vector<id> objects_;
    AutoreleasePool* outer_;
};
