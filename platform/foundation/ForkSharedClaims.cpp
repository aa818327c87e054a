#include "foundation/ForkSharedClaims.h"

#include <sys/mman.h>

#include <new>

namespace foundation {

namespace {

constexpr size_t kBytes = ForkSharedClaims::kSlots * sizeof(std::atomic<uint64_t>);

uint64_t textHash(std::string_view text)
{
    uint64_t hash = 1469598103934665603ULL; // FNV-1a
    for (char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return hash | 1; // never zero, the free slot's mark
}

} // namespace

ForkSharedClaims::ForkSharedClaims()
{
    void* page = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    shared_ = page != MAP_FAILED;
    slots_ = shared_ ? static_cast<std::atomic<uint64_t>*>(page) : new std::atomic<uint64_t>[kSlots];
    for (size_t slot = 0; slot < kSlots; ++slot)
        new (&slots_[slot]) std::atomic<uint64_t>(0);
}

ForkSharedClaims::~ForkSharedClaims()
{
    if (shared_)
        munmap(slots_, kBytes);
    else
        delete[] slots_;
}

bool ForkSharedClaims::claim(std::string_view text)
{
    const uint64_t hash = textHash(text);
    for (size_t slot = 0; slot < kSlots; ++slot) {
        uint64_t held = 0;
        if (slots_[slot].compare_exchange_strong(held, hash))
            return true;
        if (held == hash)
            return false;
    }
    return true;
}

} // namespace foundation
