#include "uikit/UIColor.h"

#include "foundation/Format.h"
#include "foundation/NSString.h"

QX_DEFINE_CLASS(UIColor)
{
    b.classMethod("blackColor", [](Class) -> Ref<UIColor> { return UIColor::blackColor(); });
    b.classMethod("whiteColor", [](Class) -> Ref<UIColor> { return UIColor::whiteColor(); });
    b.classMethod("clearColor", [](Class) -> Ref<UIColor> { return UIColor::clearColor(); });
    b.classMethod("colorWithWhite:alpha:", [](Class, double white, double alpha) -> Ref<UIColor> { return UIColor::colorWithWhiteAlpha(white, alpha); });
    b.classMethod("colorWithRed:green:blue:alpha:", [](Class, double r, double g, double bl, double a) -> Ref<UIColor> {
        return UIColor::colorWithRedGreenBlueAlpha(r, g, bl, a);
    });
    b.method<&UIColor::colorWithAlphaComponent>("colorWithAlphaComponent:");
}

QX_DEFINE_CLASS(UIFont)
{
    b.classMethod("systemFontOfSize:", [](Class, double size) -> Ref<UIFont> { return UIFont::systemFontOfSize(size); });
    b.classMethod("boldSystemFontOfSize:", [](Class, double size) -> Ref<UIFont> { return UIFont::boldSystemFontOfSize(size); });
    b.method<&UIFont::pointSize>("pointSize");
}

QX_DEFINE_CLASS(UIImage)
{
    b.classMethod("imageNamed:", [](Class, NSString* name) -> Ref<UIImage> { return name ? UIImage::imageNamed(name->str()) : nullptr; });
    b.classMethod("kitImageNamed:", [](Class, NSString* name) -> Ref<UIImage> { return name ? UIImage::kitImageNamed(name->str()) : nullptr; });
    b.property<&UIImage::accessibilityLabel_>("accessibilityLabel", objc::Copy);
}

Ref<UIColor> UIColor::colorWithRedGreenBlueAlpha(double red, double green, double blue, double alpha)
{
    auto color = make_object<UIColor>();
    color->red_ = red;
    color->green_ = green;
    color->blue_ = blue;
    color->alpha_ = alpha;
    return color;
}

Ref<UIColor> UIColor::colorWithWhiteAlpha(double white, double alpha) { return colorWithRedGreenBlueAlpha(white, white, white, alpha); }
Ref<UIColor> UIColor::blackColor() { return colorWithWhiteAlpha(0, 1); }
Ref<UIColor> UIColor::whiteColor() { return colorWithWhiteAlpha(1, 1); }
Ref<UIColor> UIColor::clearColor() { return colorWithWhiteAlpha(0, 0); }
Ref<UIColor> UIColor::redColor() { return colorWithRedGreenBlueAlpha(1, 0, 0, 1); }

Ref<UIColor> UIColor::colorWithAlphaComponent(double alpha) const { return colorWithRedGreenBlueAlpha(red_, green_, blue_, alpha); }

std::string UIColor::cssText() const
{
    auto channel = [](double value) { return static_cast<int>(value * 255.0 + 0.5); };
    return foundation::format("rgba(%d, %d, %d, %s)", channel(red_), channel(green_), channel(blue_),
        foundation::shortestDecimal(static_cast<double>(static_cast<float>(alpha_))));
}

bool UIColor::equals(const NSObject* other) const
{
    auto* color = dynamic_cast<const UIColor*>(other);
    return color && color->red_ == red_ && color->green_ == green_ && color->blue_ == blue_ && color->alpha_ == alpha_;
}

Ref<UIFont> UIFont::systemFontOfSize(double size)
{
    auto font = make_object<UIFont>();
    font->size_ = size;
    return font;
}

Ref<UIFont> UIFont::boldSystemFontOfSize(double size)
{
    auto font = systemFontOfSize(size);
    font->bold_ = true;
    return font;
}

std::string UIFont::describe() const
{
    return foundation::format("%ssystem %s", bold_ ? "bold " : "", foundation::shortestDecimal(size_));
}

Ref<UIImage> UIImage::imageNamed(std::string_view name)
{
    auto image = make_object<UIImage>();
    image->name_ = name;
    return image;
}

Ref<UIImage> UIImage::kitImageNamed(std::string_view name)
{
    auto image = imageNamed(name);
    image->kit_ = true;
    if (name == "UIButtonBarInfo.png")
        image->accessibilityLabel_ = NSString::stringWithUTF8String("Info");
    return image;
}
