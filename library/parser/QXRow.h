#pragma once

#include "foundation/NSString.h"

// One line of the info table: a localized label and the display text of its value.
class QXRow : public NSObject {
    QX_OBJECT(QXRow, NSObject)
public:
    static Ref<QXRow> row();
    // nil when the label is nil or empty, or the value is nil. A string value
    // is kept as is; any other object becomes its "%@" text.
    static Ref<QXRow> rowWithLabelAndValue(const NSString* label, const NSObject* value);
    // The same, taking over the caller's reference to the label.
    static Ref<QXRow> rowTakingLabel(Ref<NSString>&& label, const NSObject* value);

    NSString* label() const { return label_; }
    NSString* value() const { return value_; }
    void setLabel(const NSString* label);
    void setValue(const NSString* value);

protected:
    QXRow() = default;

private:
    Ref<NSString> label_;
    Ref<NSString> value_;
};
