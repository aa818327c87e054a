#include "parser/QXRow.h"

QX_DEFINE_CLASS(QXRow)
{
    b.property("label", "T@\"NSString\",C,N,V_label");
    b.property("value", "T@\"NSString\",C,N,V_value");
    b.ivar("_label", "@\"NSString\"", &QXRow::label_);
    b.ivar("_value", "@\"NSString\"", &QXRow::value_);
    b.method<&QXRow::label>("label");
    b.method<&QXRow::value>("value");
    b.method<&QXRow::setLabel>("setLabel:");
    b.method<&QXRow::setValue>("setValue:");
}

namespace {

// The properties copy. Strings never change once made, so, as on the
// platform, the copy of one is the string itself.
Ref<NSString> copyOf(const NSString* text)
{
    return const_cast<NSString*>(text);
}

} // namespace

Ref<QXRow> QXRow::row() { return make_object<QXRow>(); }

Ref<QXRow> QXRow::rowWithLabelAndValue(const NSString* label, const NSObject* value)
{
    return rowTakingLabel(copyOf(label), value);
}

Ref<QXRow> QXRow::rowTakingLabel(Ref<NSString>&& label, const NSObject* value)
{
    if (!label || label->isEmpty() || !value)
        return nullptr;
    auto row = QXRow::row();
    // The label is a string, whose copy is itself: the reference moves in.
    row->label_ = std::move(label);
    if (const auto* text = objc_cast<NSString>(value))
        row->setValue(text);
    else // its "%@" text, without parsing a format for it
        row->value_ = NSString::stringTakingText(foundation::objectText(value));
    return row;
}

void QXRow::setLabel(const NSString* label) { label_ = copyOf(label); }

void QXRow::setValue(const NSString* value) { value_ = copyOf(value); }
