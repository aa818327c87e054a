#include "runtime/MethodCache.h"

namespace objc {

void MethodCache::remember(Method method, uint64_t generation)
{
    const auto address = reinterpret_cast<uintptr_t>(method);
    if (!method || (address & ~kAddressMask) != 0)
        return;
    slotFor(method->name).store(tag(generation) | address, std::memory_order_release);
}

void MethodCache::clear()
{
    for (auto& slot : slots_)
        slot.store(0, std::memory_order_relaxed);
}

[[gnu::noinline]] MethodCache& MethodCache::install(std::atomic<MethodCache*>& cache)
{
    auto* made = new MethodCache;
    MethodCache* installed = nullptr;
    if (cache.compare_exchange_strong(installed, made, std::memory_order_acq_rel))
        return *made;
    delete made;
    return *installed;
}

} // namespace objc
