#pragma once

#include "foundation/NSArray.h"

// Section categories: which kind of facts a section holds.
enum QXSectionCategory : int {
    QXSectionCategoryFile = 1,
    QXSectionCategoryGPS = 2,
    QXSectionCategoryTIFF = 3,
    QXSectionCategoryEXIF = 4,
};

// One group of the info table: a category and its rows, in display order.
class QXSection : public NSObject {
    QX_OBJECT(QXSection, NSObject)
public:
    static Ref<QXSection> section();

    int category() const { return category_; }
    void setCategory(int category) { category_ = category; }
    // The parser's own list object, retained, not a copy.
    NSArray* items() const { return items_; }
    void setItems(NSArray* items) { items_ = items; }

protected:
    QXSection() = default;

private:
    int category_ = 0;
    Ref<NSArray> items_;
};
