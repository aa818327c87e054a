#include "runtime/Selector.h"

#include "runtime/FlatMap.h"

#include <deque>
#include <mutex>
#include <shared_mutex>

namespace {

// The interned names: each kept once, at an address that never changes (a
// deque grows without moving its elements), and found by its text.
class SelectorTable {
public:
    // Every selector made from text comes here, so the common case (a name
    // seen before) takes only a shared lock and allocates nothing.
    const std::string* intern(std::string_view name)
    {
        {
            std::shared_lock reading(lock_);
            if (auto found = byName_.find(name); found != byName_.end())
                return found->second;
        }
        std::unique_lock writing(lock_);
        if (auto found = byName_.find(name); found != byName_.end()) // interned by another thread meanwhile
            return found->second;
        const std::string* added = &names_.emplace_back(name);
        byName_.emplace(*added, added);
        return added;
    }

private:
    std::shared_mutex lock_;
    std::deque<std::string> names_;
    FlatMap<std::string_view, const std::string*> byName_;
};

const std::string* intern(std::string_view name)
{
    static auto* table = new SelectorTable; // never destroyed: selectors outlive every object
    return table->intern(name);
}

} // namespace

SEL::SEL(const char* name)
    : name_(name ? intern(name) : nullptr)
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
