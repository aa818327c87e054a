#pragma once

#include "foundation/Forward.h"
#include "runtime/ClassDefinition.h"

#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

// An ordered list of objects; it holds one reference to each.
class NSArray : public NSObject {
    QX_OBJECT(NSArray, NSObject)
public:
    static Ref<NSArray> array();
    static Ref<NSArray> arrayWithObjects(std::initializer_list<Ref<NSObject>> objects);
    static Ref<NSArray> arrayWithArray(const NSArray* other);

    NSUInteger count() const { return items_.size(); }
    // nil past the end, where the platform would raise.
    id objectAtIndex(NSUInteger index) const { return index < items_.size() ? items_[index].get() : nullptr; }
    id firstObject() const { return items_.empty() ? nullptr : items_.front().get(); }
    id lastObject() const { return items_.empty() ? nullptr : items_.back().get(); }
    bool containsObject(const NSObject* object) const;
    // Identity, not equality: the first index holding this very object.
    std::optional<NSUInteger> indexOfObjectIdenticalTo(const NSObject* object) const;
    Ref<NSString> componentsJoinedByString(std::string_view separator) const;

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

protected:
    NSArray() = default;
    explicit NSArray(std::vector<Ref<NSObject>> items)
        : items_(std::move(items))
    {
    }

    std::string describe() const override;
    bool equals(const NSObject* other) const override;

    std::vector<Ref<NSObject>> items_;
};

class NSMutableArray : public NSArray {
    QX_OBJECT(NSMutableArray, NSArray)
public:
    static Ref<NSMutableArray> array();
    // Room for `capacity` objects without growing.
    static Ref<NSMutableArray> arrayWithCapacity(NSUInteger capacity);
    static Ref<NSMutableArray> arrayWithArray(const NSArray* other);

    // A nil object is ignored rather than raising.
    void addObject(id object);
    void insertObjectAtIndex(id object, NSUInteger index);
    // The array keeps its own reference, so a new object may be handed straight in.
    template<class T>
    void addObject(const Ref<T>& object) { addObject(static_cast<id>(object.get())); }
    // Takes over the caller's reference to a new object: no retain for the
    // array, no release for the caller.
    template<class T>
    void addObject(Ref<T>&& object) { addObjectTaking(object.leak()); }
    template<class T>
    void insertObjectAtIndex(const Ref<T>& object, NSUInteger index) { insertObjectAtIndex(static_cast<id>(object.get()), index); }
    void removeObjectAtIndex(NSUInteger index);
    void removeAllObjects() { items_.clear(); }

protected:
    NSMutableArray() = default;

private:
    void addObjectTaking(id object);
};
