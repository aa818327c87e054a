#include "runtime/Selector.h"

#include <mutex>
#include <unordered_set>

namespace {

struct SelectorTable {
    std::mutex lock;
    std::unordered_set<std::string> names;
};

SelectorTable& table()
{
    static SelectorTable* instance = new SelectorTable; // never destroyed: selectors outlive every object
    return *instance;
}

const std::string* intern(std::string_view name)
{
    auto& t = table();
    std::lock_guard guard(t.lock);
    return &*t.names.emplace(name).first;
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
