#pragma once

#include "foundation/Forward.h"
#include "runtime/ClassDefinition.h"
#include "runtime/FlatMap.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A map from string keys to objects; it holds one reference to each value.
// Entries are kept in one array sorted by key, so they enumerate in key
// order, and a dictionary of a photo's few dozen properties is one block
// instead of a tree node for each.
class NSDictionary : public NSObject {
    QX_OBJECT(NSDictionary, NSObject)
public:
    static Ref<NSDictionary> dictionary();
    static Ref<NSDictionary> dictionaryWithObjectForKey(id object, std::string_view key);
    // An immutable dictionary of the same entries (an empty one for nil).
    static Ref<NSDictionary> dictionaryWithDictionary(const NSDictionary* other);

    NSUInteger count() const { return entries_.size(); }
    id objectForKey(std::string_view key) const;
    id objectForKey(const NSString* key) const;
    // Typed access: nil when the entry is missing or of another class.
    template<class T>
    T* objectOfClassForKey(std::string_view key) const
    {
        return objc_cast<T>(objectForKey(key));
    }
    Ref<NSArray> allKeys() const;

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

protected:
    using Entry = std::pair<std::string, Ref<NSObject>>;

    NSDictionary() = default;

    std::string describe() const override;
    // The first entry whose key is not less than `key`.
    std::vector<Entry>::const_iterator lowerBound(std::string_view key) const;

    std::vector<Entry> entries_;

private:
    // An immutable dictionary of a few dozen entries (a photo's EXIF section,
    // looked up key by key for each row) also finds its entries by their
    // keys' hash: one comparison instead of six. Made once, as the entries
    // never change afterwards (the keys are views of theirs). Mutable
    // dictionaries have none.
    void buildIndex();

    FlatMap<std::string_view, const Entry*, TextHash> index_;
};

class NSMutableDictionary : public NSDictionary {
    QX_OBJECT(NSMutableDictionary, NSDictionary)
public:
    static Ref<NSMutableDictionary> dictionary();
    // Room for `capacity` entries without growing.
    static Ref<NSMutableDictionary> dictionaryWithCapacity(NSUInteger capacity);

    // A nil object removes the entry.
    void setObjectForKey(id object, std::string_view key);
    // Takes over the caller's reference.
    void setObjectForKey(Ref<NSObject>&& object, std::string_view key);
    template<class T>
    void setObjectForKey(const Ref<T>& object, std::string_view key) { setObjectForKey(static_cast<id>(object.get()), key); }
    void removeObjectForKey(std::string_view key);

protected:
    NSMutableDictionary() = default;
};
