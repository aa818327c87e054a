#pragma once

#include "runtime/Runtime.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace objc {

// The methods a class answers (its own or inherited), remembered by selector,
// so that a message send costs one load instead of a walk up the class chain.
//
// Written by hand rather than taken from the code base's hash map because
// every send reads it, from any thread, while a library loading or a hook
// may add methods at the same moment: a map that needs a lock to be read
// would put one on every send. So it is a fixed table of slots, one atomic
// word each, picked by the selector's address, that never moves or grows.
// A slot packs the method's address (its low 48 bits, where user-space
// addresses fit) with the low 16 bits of the method tables' generation it was
// found in; a slot of another generation, or holding another selector's
// method (selectors share slots), is a miss. Whoever changes a method table
// moves the generation, and when its 16 bits come round empties every cache
// (needsClearing), so an old slot never passes for current.
class MethodCache {
public:
    static constexpr size_t kSlots = 64;

    // The method remembered for `sel` in `generation`, or null.
    Method find(SEL sel, uint64_t generation) const
    {
        const uintptr_t held = slotFor(sel).load(std::memory_order_acquire);
        if ((held & ~kAddressMask) != tag(generation))
            return nullptr;
        auto* method = reinterpret_cast<Method>(held & kAddressMask);
        return method && method->name == sel ? method : nullptr;
    }

    // Remembers `method` (found for its own selector) in `generation`; an
    // address beyond 48 bits is not remembered.
    void remember(Method method, uint64_t generation);

    // Forgets every method.
    void clear();

    // Whether a move of the tables' generation to `generation` must empty
    // every cache: its 16 kept bits have come round to the first's.
    static bool needsClearing(uint64_t generation) { return tag(generation) == tag(1); }

    // The cache of the class whose pointer is `cache`, made on first use: a
    // class that only passes methods down, or a metaclass no message is sent
    // to, never has one. Of two threads that make one at once, the first to
    // install it wins.
    static MethodCache& of(std::atomic<MethodCache*>& cache)
    {
        MethodCache* made = cache.load(std::memory_order_acquire);
        return made ? *made : install(cache);
    }

private:
    static constexpr unsigned kGenerationShift = 48;
    static constexpr uintptr_t kAddressMask = (uintptr_t(1) << kGenerationShift) - 1;

    static uintptr_t tag(uint64_t generation) { return uintptr_t(generation & 0xffff) << kGenerationShift; }
    static MethodCache& install(std::atomic<MethodCache*>& cache);

    const std::atomic<uintptr_t>& slotFor(SEL sel) const
    {
        const auto key = reinterpret_cast<uintptr_t>(sel.key());
        return slots_[((key >> 4) ^ (key >> 10)) % kSlots];
    }
    std::atomic<uintptr_t>& slotFor(SEL sel) { return const_cast<std::atomic<uintptr_t>&>(std::as_const(*this).slotFor(sel)); }

    std::atomic<uintptr_t> slots_[kSlots] {};
};

} // namespace objc
