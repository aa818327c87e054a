#include "foundation/NSArray.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(NSArray)
{
    b.method<&NSArray::count>("count");
    b.method<&NSArray::objectAtIndex>("objectAtIndex:");
}

QX_DEFINE_CLASS(NSMutableArray)
{
    b.method<static_cast<void (NSMutableArray::*)(id)>(&NSMutableArray::addObject)>("addObject:");
}

Ref<NSArray> NSArray::array() { return make_object<NSArray>(); }

Ref<NSArray> NSArray::arrayWithObjects(std::initializer_list<Ref<NSObject>> objects)
{
    std::vector<Ref<NSObject>> items;
    for (const auto& object : objects) {
        if (object)
            items.push_back(object);
    }
    return make_object<NSArray>(std::move(items));
}

Ref<NSArray> NSArray::arrayWithArray(const NSArray* other) { return make_object<NSArray>(other ? other->items_ : std::vector<Ref<NSObject>> {}); }

bool NSArray::containsObject(const NSObject* object) const
{
    for (const auto& item : items_) {
        if (item.get() == object || item->isEqual(object))
            return true;
    }
    return false;
}

std::optional<NSUInteger> NSArray::indexOfObjectIdenticalTo(const NSObject* object) const
{
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == object)
            return i;
    }
    return std::nullopt;
}

Ref<NSString> NSArray::componentsJoinedByString(std::string_view separator) const
{
    std::string text;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i)
            text += separator;
        text += items_[i]->descriptionText();
    }
    return NSString::stringWithUTF8String(text);
}

std::string NSArray::describe() const
{
    std::string text = "(";
    for (size_t i = 0; i < items_.size(); ++i)
        text += (i ? ", " : "") + items_[i]->descriptionText();
    return text + ")";
}

bool NSArray::equals(const NSObject* other) const
{
    const auto* array = dynamic_cast<const NSArray*>(other);
    if (!array || array->count() != count())
        return false;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!items_[i]->isEqual(array->items_[i]))
            return false;
    }
    return true;
}

Ref<NSMutableArray> NSMutableArray::array() { return make_object<NSMutableArray>(); }

Ref<NSMutableArray> NSMutableArray::arrayWithCapacity(NSUInteger capacity)
{
    auto array = make_object<NSMutableArray>();
    array->items_.reserve(capacity);
    return array;
}

Ref<NSMutableArray> NSMutableArray::arrayWithArray(const NSArray* other)
{
    auto copy = make_object<NSMutableArray>();
    if (other)
        copy->items_.assign(other->begin(), other->end());
    return copy;
}

void NSMutableArray::addObject(id object)
{
    if (object)
        addObjectTaking(object->retain());
}

void NSMutableArray::addObjectTaking(id object)
{
    if (!object)
        return;
    // Room for a table section's rows at once, rather than growing through
    // blocks of 1, 2, 4 and 8 entries.
    constexpr size_t kFirstCapacity = 16;
    if (items_.capacity() == 0)
        items_.reserve(kFirstCapacity);
    items_.push_back(Ref<NSObject>::adopt(object));
}

void NSMutableArray::insertObjectAtIndex(id object, NSUInteger index)
{
    if (object)
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(std::min<NSUInteger>(index, items_.size())), Ref<NSObject>(object));
}

void NSMutableArray::removeObjectAtIndex(NSUInteger index)
{
    if (index < items_.size())
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}
