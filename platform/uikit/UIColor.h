#pragma once

#include "foundation/NSString.h"
#include "runtime/ClassDefinition.h"

#include <string>

// A colour: red, green, blue and alpha, each 0 to 1.
class UIColor : public NSObject {
    QX_OBJECT(UIColor, NSObject)
public:
    static Ref<UIColor> colorWithRedGreenBlueAlpha(double red, double green, double blue, double alpha);
    static Ref<UIColor> colorWithWhiteAlpha(double white, double alpha);
    static Ref<UIColor> blackColor();
    static Ref<UIColor> whiteColor();
    static Ref<UIColor> clearColor();
    static Ref<UIColor> redColor();

    // A copy with another alpha.
    Ref<UIColor> colorWithAlphaComponent(double alpha) const;

    double red() const { return red_; }
    double green() const { return green_; }
    double blue() const { return blue_; }
    double alpha() const { return alpha_; }
    // "rgba(0, 0, 0, 0.4)": the form a web page takes.
    std::string cssText() const;

protected:
    UIColor() = default;
    std::string describe() const override { return cssText(); }
    bool equals(const NSObject* other) const override;

private:
    double red_ = 0, green_ = 0, blue_ = 0, alpha_ = 1;
};

// A font: the system font in a size, plain or bold.
class UIFont : public NSObject {
    QX_OBJECT(UIFont, NSObject)
public:
    static Ref<UIFont> systemFontOfSize(double size);
    static Ref<UIFont> boldSystemFontOfSize(double size);

    double pointSize() const { return size_; }
    bool isBold() const { return bold_; }

protected:
    UIFont() = default;
    std::string describe() const override;

private:
    double size_ = 17;
    bool bold_ = false;
};

// A named image: the toolkit's own images (`kitImageNamed:`) or the
// application's (`imageNamed:`). Only the name is kept; the browser page
// draws it.
class UIImage : public NSObject {
    QX_OBJECT(UIImage, NSObject)
public:
    static Ref<UIImage> imageNamed(std::string_view name);
    static Ref<UIImage> kitImageNamed(std::string_view name);

    const std::string& name() const { return name_; }
    bool isKitImage() const { return kit_; }
    // What the image says to a person who cannot see it. The toolkit's own
    // images that stand for an action carry it from the start ("Info" for
    // the info icon); others have none until it is set.
    NSString* accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(NSString* label) { accessibilityLabel_ = label; }

protected:
    UIImage() = default;

private:
    std::string name_;
    bool kit_ = false;
    Ref<NSString> accessibilityLabel_;
};
