#pragma once

#include "runtime/ClassDefinition.h"

#include <map>
#include <string>
#include <string_view>

// A map from string keys to objects; it holds one reference to each value.
class NSDictionary : public NSObject {
    QX_OBJECT(NSDictionary, NSObject)
public:
    static Ref<NSDictionary> dictionary();
    static Ref<NSDictionary> dictionaryWithObjectForKey(id object, std::string_view key);

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
    NSDictionary() = default;

    std::string describe() const override;

    std::map<std::string, Ref<NSObject>, std::less<>> entries_;
};

class NSMutableDictionary : public NSDictionary {
    QX_OBJECT(NSMutableDictionary, NSDictionary)
public:
    static Ref<NSMutableDictionary> dictionary();

    // A nil object removes the entry.
    void setObjectForKey(id object, std::string_view key);
    template<class T>
    void setObjectForKey(const Ref<T>& object, std::string_view key) { setObjectForKey(static_cast<id>(object.get()), key); }
    void removeObjectForKey(std::string_view key) { entries_.erase(std::string(key)); }

protected:
    NSMutableDictionary() = default;
};
