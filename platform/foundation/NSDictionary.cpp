#include "foundation/NSDictionary.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"

#include <algorithm>

QX_DEFINE_CLASS(NSDictionary)
{
    b.method<&NSDictionary::count>("count");
    b.method("objectForKey:", [](NSDictionary* self, id key) -> id { return self->objectForKey(objc_cast<NSString>(key)); });
}

QX_DEFINE_CLASS(NSMutableDictionary) { }

Ref<NSDictionary> NSDictionary::dictionary() { return make_object<NSDictionary>(); }

Ref<NSDictionary> NSDictionary::dictionaryWithObjectForKey(id object, std::string_view key)
{
    auto dictionary = NSMutableDictionary::dictionary();
    dictionary->setObjectForKey(object, key);
    return dictionary;
}

std::vector<NSDictionary::Entry>::const_iterator NSDictionary::lowerBound(std::string_view key) const
{
    // Keys mostly differ in their first character: compare that before the rest.
    return std::lower_bound(entries_.begin(), entries_.end(), key, [](const Entry& entry, std::string_view wanted) {
        if (!entry.first.empty() && !wanted.empty() && entry.first.front() != wanted.front())
            return static_cast<unsigned char>(entry.first.front()) < static_cast<unsigned char>(wanted.front());
        return std::string_view(entry.first) < wanted;
    });
}

Ref<NSDictionary> NSDictionary::dictionaryWithDictionary(const NSDictionary* other)
{
    auto dictionary = make_object<NSDictionary>();
    if (other) {
        dictionary->entries_ = other->entries_;
        dictionary->buildIndex();
    }
    return dictionary;
}

// Fewer entries than this are found as fast by the binary search.
constexpr size_t kFewestIndexed = 8;

void NSDictionary::buildIndex()
{
    index_.clear();
    if (entries_.size() < kFewestIndexed)
        return;
    index_.reserve(entries_.size());
    for (const Entry& entry : entries_)
        index_.emplace(entry.first, &entry);
}

id NSDictionary::objectForKey(std::string_view key) const
{
    if (!index_.empty()) {
        auto found = index_.find(key);
        return found != index_.end() ? found->second->second.get() : nullptr;
    }
    auto it = lowerBound(key);
    return it != entries_.end() && it->first == key ? it->second.get() : nullptr;
}

id NSDictionary::objectForKey(const NSString* key) const { return key ? objectForKey(key->str()) : nullptr; }

Ref<NSArray> NSDictionary::allKeys() const
{
    auto keys = NSMutableArray::array();
    for (const auto& [key, value] : entries_)
        keys->addObject(NSString::stringWithUTF8String(key));
    return keys;
}

std::string NSDictionary::describe() const
{
    std::string text = "{";
    bool first = true;
    for (const auto& [key, value] : entries_) {
        text += (first ? "" : "; ") + key + " = " + value->descriptionText();
        first = false;
    }
    return text + "}";
}

Ref<NSMutableDictionary> NSMutableDictionary::dictionary() { return make_object<NSMutableDictionary>(); }

Ref<NSMutableDictionary> NSMutableDictionary::dictionaryWithCapacity(NSUInteger capacity)
{
    auto dictionary = make_object<NSMutableDictionary>();
    dictionary->entries_.reserve(capacity);
    return dictionary;
}

void NSMutableDictionary::setObjectForKey(id object, std::string_view key) { setObjectForKey(Ref<NSObject>(object), key); }

void NSMutableDictionary::setObjectForKey(Ref<NSObject>&& object, std::string_view key)
{
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    // Keys often come in order: such an entry goes at the end without a search.
    if (entries_.empty() || std::string_view(entries_.back().first) < key) {
        entries_.emplace_back(std::string(key), std::move(object));
        return;
    }
    auto at = entries_.begin() + (lowerBound(key) - entries_.cbegin());
    if (at != entries_.end() && at->first == key)
        at->second = std::move(object);
    else
        entries_.emplace(at, std::string(key), std::move(object));
}

void NSMutableDictionary::removeObjectForKey(std::string_view key)
{
    auto at = lowerBound(key);
    if (at != entries_.end() && at->first == key)
        entries_.erase(at);
}
