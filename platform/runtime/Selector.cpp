#include "runtime/Selector.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <unordered_set>

namespace {

// Hashes std::string and std::string_view alike, so a lookup by view needs
// no temporary string.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>()(name); }
};

struct SelectorTable {
    std::shared_mutex lock;
    std::unordered_set<std::string, NameHash, std::equal_to<>> names;
};

SelectorTable& table()
{
    static SelectorTable* instance = [] {
        auto* made = new SelectorTable; // never destroyed: selectors outlive every object
        // Room for every selector the classes define, so the table does not
        // grow (and hash every name again) while they register.
        made->names.reserve(1024);
        return made;
    }();
    return *instance;
}

// Every message send names its selector, so the common case (a name seen
// before) takes only a shared lock and allocates nothing.
const std::string* intern(std::string_view name)
{
    auto& t = table();
    {
        std::shared_lock reading(t.lock);
        if (auto found = t.names.find(name); found != t.names.end())
            return &*found;
    }
    std::unique_lock writing(t.lock);
    return &*t.names.emplace(name).first;
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
    static std::array<Remembered, 256> remembered;
    Remembered& slot = remembered[(reinterpret_cast<uintptr_t>(text) >> 3) % remembered.size()];
    if (slot.text.load(std::memory_order_relaxed) == text) {
        const std::string* name = slot.name.load(std::memory_order_relaxed);
        if (name && std::strcmp(text, name->c_str()) == 0)
            return name;
    }
    const std::string* name = intern(text);
    slot.name.store(name, std::memory_order_relaxed);
    slot.text.store(text, std::memory_order_relaxed);
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
