#include "runtime/WeakRef.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace objc {

namespace {

struct WeakTable {
    std::mutex lock;
    std::unordered_map<NSObject*, std::vector<WeakRefBase*>> referrers;
};

WeakTable& weakTable()
{
    static auto* table = new WeakTable; // never destroyed: objects may go during exit
    return *table;
}

} // namespace

NSObject* WeakRefBase::load() const
{
    std::lock_guard guard(weakTable().lock);
    if (!object_ || object_->isDeallocating())
        return nullptr;
    return object_;
}

void WeakRefBase::assign(NSObject* object)
{
    auto& table = weakTable();
    std::lock_guard guard(table.lock);
    if (object_ == object)
        return;
    if (object_) {
        auto it = table.referrers.find(object_);
        if (it != table.referrers.end()) {
            std::erase(it->second, this);
            if (it->second.empty())
                table.referrers.erase(it);
        }
    }
    object_ = object;
    if (object) {
        object->weaklyReferenced_.store(true, std::memory_order_release);
        table.referrers[object].push_back(this);
    }
}

void clearWeakReferences(NSObject* object)
{
    auto& table = weakTable();
    std::lock_guard guard(table.lock);
    auto it = table.referrers.find(object);
    if (it == table.referrers.end())
        return;
    for (WeakRefBase* referrer : it->second)
        referrer->object_ = nullptr;
    table.referrers.erase(it);
}

} // namespace objc
