#pragma once

#include "runtime/ClassDefinition.h"

// A row of a table: its section and its row within the section. Two index
// paths with the same section and row are equal, whichever objects they are.
class NSIndexPath : public NSObject {
    QX_OBJECT(NSIndexPath, NSObject)
public:
    static Ref<NSIndexPath> indexPathForRowInSection(NSInteger row, NSInteger section);

    NSInteger section() const { return section_; }
    NSInteger row() const { return row_; }

    bool isEqualToIndexPath(NSInteger section, NSInteger row) const { return section_ == section && row_ == row; }

protected:
    NSIndexPath() = default;
    // "{length = 2, path = 0 - 1}": section, then row.
    std::string describe() const override;
    bool equals(const NSObject* other) const override;

private:
    NSInteger section_ = 0;
    NSInteger row_ = 0;
};

// Equality of two possibly nil index paths: both nil, or the same section and row.
bool sameIndexPath(const NSIndexPath* a, const NSIndexPath* b);
