#include "foundation/NSDictionary.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"

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

id NSDictionary::objectForKey(std::string_view key) const
{
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : it->second.get();
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

void NSMutableDictionary::setObjectForKey(id object, std::string_view key)
{
    if (object)
        entries_.insert_or_assign(std::string(key), Ref<NSObject>(object));
    else
        entries_.erase(std::string(key));
}
