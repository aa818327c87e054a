#include "runtime/Selector.h"

#include "runtime/FlatMap.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

// The interned names: each kept once, at an address that never changes (a
// deque grows without moving its elements), and found by its text. The one
// table of selectors; internText below only remembers its answers.
class SelectorTable {
public:
    // Every selector made from text comes here, so the common case (a name
    // seen before) allocates nothing; a plain lock costs less to take than a
    // readers' one, and is held for one search.
    const std::string* intern(std::string_view name)
    {
        std::lock_guard guard(lock_);
        if (auto found = byName_.find(name); found != byName_.end())
            return found->second;
        const std::string* added = &names_.emplace_back(name);
        byName_.emplace(*added, added);
        return added;
    }

private:
    std::mutex lock_;
    std::deque<std::string> names_;
    FlatMap<std::string_view, const std::string*, TextHash> byName_;
};

const std::string* intern(std::string_view name)
{
    static auto* table = new SelectorTable; // never destroyed: selectors outlive every object
    return table->intern(name);
}

// Most selectors are made from the same string literals again and again (a
// message send names its selector as text), so the names found last are
// remembered by the text's address, shared by all threads: hashing the text
// and taking the table's lock for every send costs 7% of `quorix info` over
// many photos. A slot's two halves may come from different writers, and the
// same address may hold other text later: an answer counts only when its
// name equals the text, and names live as long as the process, so any name
// read is safe to compare.
const std::string* internText(const char* text)
{
    struct Remembered {
        std::atomic<const char*> text { nullptr };
        std::atomic<const std::string*> name { nullptr };
    };
    // A text's address picks a pair of slots (the top bits of its product
    // with the golden ratio's fraction spread nearby literals); a new name
    // takes the pair's first slot, whose entry moves to the second.
    static std::array<Remembered, 512> remembered;
    const size_t first = static_cast<size_t>((reinterpret_cast<uintptr_t>(text) * 0x9e3779b97f4a7c15ull) >> 55) & ~size_t { 1 };
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
