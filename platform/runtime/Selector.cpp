#include "runtime/Selector.h"

#include "runtime/MixedSlot.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace {

// The interned names: each kept once, at an address that never changes (a
// deque grows without moving its elements), and found through an open-
// addressing index of their addresses. A name is hashed once per lookup.
class SelectorTable {
public:
    SelectorTable()
        : slots_(kFirstCapacity, nullptr)
    {
    }

    // Every message send names its selector, so the common case (a name seen
    // before) takes only a shared lock and allocates nothing.
    const std::string* intern(std::string_view name)
    {
        const size_t hash = std::hash<std::string_view>()(name);
        {
            std::shared_lock reading(lock_);
            if (const std::string* found = *slotFor(name, hash))
                return found;
        }
        std::unique_lock writing(lock_);
        const std::string** slot = slotFor(name, hash);
        if (*slot) // interned by another thread meanwhile
            return *slot;
        const std::string* added = &names_.emplace_back(name);
        *slot = added;
        if (2 * names_.size() > slots_.size())
            grow();
        return added;
    }

private:
    // Room for the selectors of the classes a command uses, so the index
    // seldom grows while they register.
    static constexpr size_t kFirstCapacity = 1024;

    // The slot holding `name`, or the empty one where it belongs.
    const std::string** slotFor(std::string_view name, size_t hash)
    {
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const std::string* held = slots_[i];
            if (!held || *held == name)
                return &slots_[i];
        }
    }

    void grow()
    {
        std::vector<const std::string*> old(slots_.size() * 2, nullptr);
        old.swap(slots_);
        for (const std::string& name : names_)
            *slotFor(name, std::hash<std::string_view>()(name)) = &name;
    }

    std::shared_mutex lock_;
    std::deque<std::string> names_;
    std::vector<const std::string*> slots_; // a power of two in size, at most half full
};

const std::string* intern(std::string_view name)
{
    static auto* table = new SelectorTable; // never destroyed: selectors outlive every object
    return table->intern(name);
}

// Most selectors are made from the same string literals again and again (a
// message send names its selector as text), so the names interned last are
// remembered by the text's address, shared by all threads. A slot's two
// halves may come from different writers, and the same address may hold
// other text later: an answer counts only when its name equals the text, and
// names live as long as the process, so any name read is safe to compare.
const std::string* internText(const char* text)
{
    struct Remembered {
        std::atomic<const char*> text { nullptr };
        std::atomic<const std::string*> name { nullptr };
    };
    // A text's address picks a pair of slots; a new name takes the pair's
    // first slot, whose entry moves to the second.
    static std::array<Remembered, 512> remembered;
    const size_t first = objc::mixedSlot(reinterpret_cast<uintptr_t>(text), 9) & ~size_t { 1 };
    for (size_t i = first; i < first + 2; ++i) {
        Remembered& slot = remembered[i];
        if (slot.text.load(std::memory_order_relaxed) == text) {
            const std::string* name = slot.name.load(std::memory_order_relaxed);
            if (name && std::strcmp(text, name->c_str()) == 0)
                return name;
        }
    }
    const std::string* name = intern(text);
    Remembered& newer = remembered[first];
    Remembered& older = remembered[first + 1];
    older.name.store(newer.name.load(std::memory_order_relaxed), std::memory_order_relaxed);
    older.text.store(newer.text.load(std::memory_order_relaxed), std::memory_order_relaxed);
    newer.name.store(name, std::memory_order_relaxed);
    newer.text.store(text, std::memory_order_relaxed);
    return name;
}

} // namespace

SEL::SEL(const char* name)
    : name_(name ? internText(name) : nullptr)
{
}

SEL::SEL(std::string_view name)
    : name_(intern(name))
{
}

SEL::SEL(const std::string& name)
    : name_(intern(name))
{
}

const std::string& SEL::name() const
{
    static const std::string empty;
    return name_ ? *name_ : empty;
}

SEL sel_registerName(std::string_view name) { return SEL(name); }

const char* sel_getName(SEL sel) { return sel.name().c_str(); }
