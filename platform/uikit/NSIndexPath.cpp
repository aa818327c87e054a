#include "uikit/NSIndexPath.h"

QX_DEFINE_CLASS(NSIndexPath)
{
    b.property<&NSIndexPath::section_>("section", objc::ReadOnly);
    b.property<&NSIndexPath::row_>("row", objc::ReadOnly);
    b.classMethod("indexPathForRow:inSection:", [](Class cls, long row, long section) -> id {
        auto path = Ref<NSObject>::adopt(objc::allocateInstance(cls));
        if (auto* typed = objc_cast<NSIndexPath>(path.get())) {
            typed->row_ = row;
            typed->section_ = section;
        }
        return path.leak()->autorelease();
    });
}

Ref<NSIndexPath> NSIndexPath::indexPathForRowInSection(NSInteger row, NSInteger section)
{
    auto path = make_object<NSIndexPath>();
    path->row_ = row;
    path->section_ = section;
    return path;
}

std::string NSIndexPath::describe() const
{
    return "{length = 2, path = " + std::to_string(section_) + " - " + std::to_string(row_) + "}";
}

bool NSIndexPath::equals(const NSObject* other) const
{
    const auto* path = dynamic_cast<const NSIndexPath*>(other);
    return path && path->section_ == section_ && path->row_ == row_;
}

bool sameIndexPath(const NSIndexPath* a, const NSIndexPath* b)
{
    if (!a || !b)
        return a == b;
    return a->isEqual(b);
}
