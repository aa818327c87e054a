#include "parser/QXSection.h"

QX_DEFINE_CLASS(QXSection)
{
    b.property("category", "Ti,N,V_category");
    b.property("items", "T@\"NSArray\",&,N,V_items");
    b.ivar("_category", "i");
    b.ivar("_items", "@\"NSArray\"", &QXSection::items_);
    b.method<&QXSection::category>("category");
    b.method<&QXSection::setCategory>("setCategory:");
    b.method<&QXSection::items>("items");
    b.method<&QXSection::setItems>("setItems:");
}

Ref<QXSection> QXSection::section() { return make_object<QXSection>(); }
