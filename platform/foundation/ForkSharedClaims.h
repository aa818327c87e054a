#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace foundation {

// Texts claimed once for a process and every copy of it forked after the
// set was made (`quorix info -j` describes files in such copies), so that
// what one copy has said the others leave unsaid.
//
// Written by hand rather than taken from the code base's hash map because it
// lives in memory shared across processes, mapped before any fork: a map
// that allocates would put its nodes in one process's heap, unseen by the
// others, and no lock is shared. So it is a fixed run of slots, one atomic
// word each holding a text's hash (never zero, zero marking a free slot),
// claimed by compare-and-swap.
class ForkSharedClaims {
public:
    static constexpr size_t kSlots = 64;

    // Without shared memory (it could not be mapped) each process keeps only
    // what it claims itself.
    ForkSharedClaims();
    ~ForkSharedClaims();
    ForkSharedClaims(const ForkSharedClaims&) = delete;
    ForkSharedClaims& operator=(const ForkSharedClaims&) = delete;

    // True for the first claim of `text` by this process or a copy sharing
    // the set, and when every slot is taken (better said twice than lost).
    bool claim(std::string_view text);

private:
    std::atomic<uint64_t>* slots_;
    bool shared_;
};

} // namespace foundation
