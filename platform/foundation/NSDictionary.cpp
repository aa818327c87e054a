#include "foundation/NSDictionary.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "runtime/MixedSlot.h"

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

namespace {

// Fewer entries than this are found as fast by the binary search.
constexpr size_t kFewestIndexed = 8;
// Positions are kept in a byte.
constexpr size_t kMostIndexed = 255;

// The length and four letters spread over the key: property keys that share
// a long start ("ExposureTime", "ExposureMode") differ further on.
size_t keyHash(std::string_view key)
{
    const size_t length = key.size();
    uint64_t mixed = length;
    if (length > 0) {
        auto at = [&](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(key[i])); };
        mixed |= at(0) << 8 | at(length / 3) << 16 | at(2 * length / 3) << 24 | at(length - 1) << 32;
    }
    return objc::mixedSlot(mixed, 32);
}

} // namespace

void NSDictionary::buildIndex()
{
    index_.clear();
    if (entries_.size() < kFewestIndexed || entries_.size() > kMostIndexed)
        return;
    size_t slots = 16;
    while (slots < 2 * entries_.size())
        slots *= 2;
    index_.assign(slots, 0);
    for (size_t position = 0; position < entries_.size(); ++position) {
        size_t slot = keyHash(entries_[position].first) & (slots - 1);
        while (index_[slot] != 0)
            slot = (slot + 1) & (slots - 1);
        index_[slot] = static_cast<uint8_t>(position + 1);
    }
}

// Part of every lookup of an indexed dictionary: made one with it, so a
// lookup saves and restores its registers once.
[[gnu::always_inline]] inline const NSDictionary::Entry* NSDictionary::findIndexed(std::string_view key) const
{
    const size_t mask = index_.size() - 1;
    for (size_t slot = keyHash(key) & mask;; slot = (slot + 1) & mask) {
        const uint8_t held = index_[slot];
        if (held == 0)
            return nullptr;
        const Entry& entry = entries_[held - 1];
        if (entry.first == key)
            return &entry;
    }
}

id NSDictionary::objectForKey(std::string_view key) const
{
    if (!index_.empty()) {
        const Entry* entry = findIndexed(key);
        return entry ? entry->second.get() : nullptr;
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
